#pragma once
// Property setters of the engine's objects: store the value and report the
// change, only when the value differs, so an unchanged value never causes a
// repaint or a texture upload.

// Defines Class::SetName(Type v), which stores v in field and then calls
// report() when v differs from what field held.
#define VELMORA_CHANGE_SETTER(Class, Name, Type, field, report)                                                        \
    void Class::Set##Name(Type v)                                                                                      \
    {                                                                                                                  \
        if (field == v) return;                                                                                        \
        field = v;                                                                                                     \
        report();                                                                                                      \
    }
