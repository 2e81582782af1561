#include "tests/stack/asn/TsharkJudge.h"
#include <gtest/gtest.h>
