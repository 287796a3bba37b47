#include "app/version.h"
