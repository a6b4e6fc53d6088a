#include "tiff/kivTiffBitmap.h"

const TkivRGBBitmap::TClass& TkivRGBBitmap::ClassObject() {
  static const TkivClassOf<TkivRGBBitmap> Class("TkivRGBBitmap");
  return Class;
}
