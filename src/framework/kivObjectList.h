#pragma once
// The owning list that counts itself in ObjectListCount; the base of the HTML elements.

#include <cstdint>
#include <functional>

#include "framework/kivOwningList.h"

extern int32_t ObjectListCount;

class TkivObjectList : public TOwningList {
public:
  using TItemEvent = std::function<void(TkivObjectList& Sender, TObject* Item)>;

  TkivObjectList() { ++ObjectListCount; }
  ~TkivObjectList() override { --ObjectListCount; }

  TItemEvent OnAdded;
  TItemEvent OnDeleted;

protected:
  virtual void DoAdded(TObject* Item);
  virtual void DoDeleted(TObject* Item);
  void Notify(TObject* Item, TListNotification Action) override;
};

void kivObjectList_Initialize();
void kivObjectList_Finalize();
