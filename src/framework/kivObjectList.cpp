#include "framework/kivObjectList.h"

#include <string>

#include "platform/kivMessageBox.h"

int32_t ObjectListCount = 0;

void TkivObjectList::DoAdded(TObject* Item) {
  if (OnAdded) OnAdded(*this, Item);
}

void TkivObjectList::DoDeleted(TObject* Item) {
  if (OnDeleted) OnDeleted(*this, Item);
}

void TkivObjectList::Notify(TObject* Item, TListNotification Action) {
  if (Action == TListNotification::Added) DoAdded(Item);
  if (Action == TListNotification::Deleted) DoDeleted(Item);
  TOwningList::Notify(Item, Action);
}

void kivObjectList_Initialize() {
  ObjectListCount = 0;
}

void kivObjectList_Finalize() {
  ReleaseListMemory();
  if (ObjectListCount == 0) return;
  // "Error !!!" / "Not all objects were freed !!! Left %d", in Windows-1251.
  kivPlatform::ShowErrorMessage(
      "\xCE\xF8\xE8\xE1\xEA\xE0 !!!",
      "\xCD\xE5 \xE2\xF1\xE5 \xEE\xE1\xFA\xE5\xEA\xF2\xFB \xF3\xE4\xE0\xEB\xE5\xED\xFB \xE8\xE7 "
      "\xEF\xE0\xEC\xFF\xF2\xE8 !!! \xCE\xF1\xF2\xE0\xEB\xEE\xF1\xFC " +
          std::to_string(ObjectListCount));
}
