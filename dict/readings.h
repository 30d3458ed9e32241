// The former name of dict/readingsection.h, kept while ui/ includes it;
// new code includes dict/readingsection.h.
#pragma once

#include "dict/readingsection.h"
