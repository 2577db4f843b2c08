#include "Laserencode.h"
