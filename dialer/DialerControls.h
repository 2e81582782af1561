#pragma once

// The classes the main window's controls take.
#include "platform/CBitmapButton.h"
#include "platform/CStaticPicture.h"
#include "skin/CPictureEx.h"
#include "skin/CSkinButton.h"
#include "skin/CStyledStatic.h"
#include "skin/CTipSlider.h"
#include "skin/CTransparentStatic.h"
