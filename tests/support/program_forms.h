#pragma once

// Forms as the program sets them up: Form1 is the main window that the
// splash, the animation maker and the other windows hand over to.

#include "logo/form1.h"
#include "ui/forms.h"

namespace vantrel {

class ProgramForms : public Forms {
public:
    explicit ProgramForms(Host &host) : Forms(host) { setMainWindow<Form1>(); }
};

} // namespace vantrel
