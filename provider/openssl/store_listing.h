#pragma once

// What the file-based stores hold, for people to read: the listing types of
// provider/store_administration.h, whose list_stores store_listing.cpp implements.

#include "provider/store_administration.h"
