#include "boxfixture.h"
