#pragma once

#include <QPixmap>

// The program's title picture (709 x 271), drawn rather than shipped as a file.
QPixmap TitleImage();
