#pragma once

#include <QIcon>
#include <QPixmap>

// The window's artwork, drawn in code so the program carries no image files.
namespace Artwork {

// The silver background picture: 444 x 285, varying only from left to right.
QPixmap backgroundPicture();

// The red-and-black 32 x 32 application icon.
QIcon applicationIcon();

} // namespace Artwork
