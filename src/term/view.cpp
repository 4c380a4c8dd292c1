#include "term/view.h"

TermView termView;
