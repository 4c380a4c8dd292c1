#include "app/term/view.h"

TermView termView;
