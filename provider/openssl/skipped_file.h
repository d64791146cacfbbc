#pragma once

// A file of a store folder that contributed nothing: the neutral type, for the store code.
#include "provider/store_administration.h"
