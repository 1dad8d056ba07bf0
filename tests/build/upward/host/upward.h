#pragma once

// A file of the lowest layer that reaches up: the layers check must refuse
// both lines.

#include "ui/forms.h"

#include <QPushButton>
