#include "foundation/UXVersion.h"
