#pragma once
#include "mid/Mid.h"
