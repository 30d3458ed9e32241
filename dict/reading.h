// The former name of dict/fold.h, kept while ui/ includes it; new code
// includes dict/fold.h.
#pragma once

#include "dict/fold.h"
