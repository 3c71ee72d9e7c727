#pragma once

#include <QWidget>

// Puts a control of a fixed-layout window in place: its name (the object name the texts and
// hints look for), its geometry, and its text number as the "Tag" property when it has one.
template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height,
               int tag = 0) {
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    if (tag != 0)
        control->setProperty("Tag", tag);
    return control;
}
