#include "update/firmware.h"

void CreateUpdaterList() {}
