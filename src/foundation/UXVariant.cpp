#include "foundation/UXVariant.h"
