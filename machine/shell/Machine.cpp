#include "Machine.h"

#include "midi/MidiPortSystem.h"

TMachine::TMachine(std::unique_ptr<TMidiPort> port)
    : Session(port ? std::move(port) : MakeSystemMidiPort()) {}
