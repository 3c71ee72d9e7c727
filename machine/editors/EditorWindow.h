#pragma once

#include <QtGlobal>

// The editors' windows: tool windows with a title but no close button; they live as long as
// the machine.
inline constexpr Qt::WindowFlags EditorWindowFlags =
    Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint;
