#include "core/version.hpp"
