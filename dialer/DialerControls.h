#pragma once

// The classes the main window's controls take. Until the skinned kit gives them their looks they
// are the plain widgets of the same kind.
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "platform/CBitmapButton.h"
#include "platform/CStaticPicture.h"

using CSkinButton = QPushButton;
using CStyledStatic = QLabel;
using CTransparentStatic = QLabel;
using CTipSlider = QSlider;
using CPictureEx = CStaticPicture;
