#include "term/state.h"

TermState term;
