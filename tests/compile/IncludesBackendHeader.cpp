// A system class's file that reaches for the backends' duties. Compiled the way the system's
// classes are, it must not compile.
#include "ui/backend/Backend.h"
