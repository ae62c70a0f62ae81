#include "core/Desktop.h"

Desktop::~Desktop() = default;
