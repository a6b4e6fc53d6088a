#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/kivInfo.h"
#include "support/kivTestSupport.h"

namespace {

// A segment class with a given order key.
class TOrderClass : public TkivClassOf<TkivSegment> {
public:
  TOrderClass(const char* Name, uint8_t Key) : TkivClassOf(Name), Key(Key) {}
  uint8_t Order() const override { return Key; }

private:
  uint8_t Key;
};

// Records every notification as "<kind>:<segment tag>" or "3".
class TRecorder : public TObject, public IkivSegmentNotify {
public:
  explicit TRecorder(std::string& Log, bool Throws = false) : Log(Log), Throws(Throws) {}
  void SegmentAdded(TObject*, TkivSegment* S) override { Record("0", S); }
  void SegmentDeleted(TObject*, TkivSegment* S) override { Record("1", S); }
  void SegmentChanged(TObject*, TkivSegment* S) override { Record("2", S); }
  void SegmentsReordered(TObject*) override { Record("3", nullptr); }

private:
  void Record(const char* Kind, TkivSegment* S) {
    Log += Kind;
    if (S) Log += ":" + S->ClassType().ClassName();
    Log += " ";
    if (Throws) throw std::runtime_error("listener failed");
  }
  std::string& Log;
  bool Throws;
};

std::vector<std::string> Names(const TkivSegmentList& List) {
  std::vector<std::string> Result;
  for (int32_t I = 0; I < List.Count(); ++I)
    Result.push_back(List.Segment(I).ClassType().ClassName());
  return Result;
}

const TOrderClass Order10("A10", 10), Order200("B200", 200), Order127("C127", 127),
    Order200b("D200", 200), Order250("E250", 250);

} // namespace

TEST(SegmentModel, OrderedInsertionAndNotifications) {
  std::string Log; // outlives the list, whose end the listeners still hear
  auto List = std::make_unique<TkivSegmentList>(TkivSegmentList::ClassObject());
  List->Listeners.Add(std::make_unique<TRecorder>(Log));
  Order10.Create(*List, true);
  Order200.Create(*List, true);
  EXPECT_EQ(Log, "0:A10 0:B200 ");
  Log.clear();
  Order127.Create(*List, false);
  EXPECT_EQ(Log, "0:C127 3 ");
  Order200b.Create(*List, false);
  Order250.Create(*List, false);
  EXPECT_EQ(Names(*List), (std::vector<std::string>{"A10", "C127", "D200", "B200", "E250"}));
  EXPECT_EQ(&List->Segment(2).Owner->Segment(2), &List->Segment(2));

  Log.clear();
  List->Segment(0).Refresh();
  EXPECT_EQ(Log, "2:A10 ");
  Log.clear();
  // The list tells of the deletion, then the segment's destructor tells again.
  List->Delete(0);
  EXPECT_EQ(Log, "1:A10 1:A10 ");
  // The listeners must still be there while the segments go with the list.
  Log.clear();
  List.reset();
  EXPECT_NE(Log.find("1:C127"), std::string::npos);
}

TEST(SegmentModel, AThrowingListenerIsReportedAndDeliveryGoesOn) {
  std::string Log;
  testing::internal::CaptureStderr();
  {
    TkivSegmentList List(TkivSegmentList::ClassObject());
    List.Listeners.Add(std::make_unique<TRecorder>(Log));
    List.Listeners.Add(std::make_unique<TObject>()); // no notification interface: skipped
    List.Listeners.Add(std::make_unique<TRecorder>(Log, true));
    Order10.Create(List, false);
    // Listeners are told last first; the throwing one does not stop the others.
    EXPECT_EQ(Log, "0:A10 0:A10 3 3 ");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Error on 0\nError: Error on 3\nError: Error on 1\nError: Error on 1\n");
}

TEST(SegmentModel, AnExtractedSegmentOutlivesItsList) {
  std::unique_ptr<TObject> Taken;
  {
    TkivSegmentList List(TkivSegmentList::ClassObject());
    Taken = List.Extract(&Order10.Create(List, true));
  }
  // Freed after the list: it must not tell the list about it.
  EXPECT_EQ(static_cast<TkivSegment&>(*Taken).Owner, nullptr);
  Taken.reset();
}

TEST(SegmentModel, FreeStandingSegment) {
  auto Segment = TkivSegment::ClassObject().Create();
  EXPECT_EQ(Segment->Owner, nullptr);
  EXPECT_EQ(Segment->Info->Name, "Custom data section");
  EXPECT_TRUE(Segment->Info->Header);
  Segment->InitDefault();
  EXPECT_TRUE(Segment->Modified);

  TMemoryStream In("abcdef");
  In.SetPosition(2);
  Segment->LoadFromStream(In);
  EXPECT_FALSE(Segment->Modified);
  EXPECT_EQ(Segment->Data.ToString(), "cdef");
  EXPECT_EQ(Segment->GetSize(), 4);
  TMemoryStream Out;
  Segment->SaveToStream(Out);
  EXPECT_EQ(Out.ToString(), "cdef");

  Segment->Refresh();
  Segment->Refresh(); // the size item is replaced, not added again
  ASSERT_EQ(Segment->Info->Count(), 1);
  EXPECT_EQ(Segment->Info->GetChild(0).Name + Segment->Info->GetChild(0).Value, "Segment size:4");

  // At the end of the stream there is nothing to load.
  Segment->LoadFromStream(In);
  EXPECT_EQ(Segment->Data.GetSize(), 0);
  Segment->Refresh();
  EXPECT_EQ(Segment->Info->GetChild(0).Value, "0");
}

TEST(SegmentModel, CurrentSegmentMark) {
  auto A = TkivSegment::ClassObject().Create();
  {
    auto B = TkivSegment::ClassObject().Create();
    B->SetCurrent(true);
    EXPECT_TRUE(B->IsCurrent());
    EXPECT_FALSE(A->IsCurrent());
    A->SetCurrent(false); // not current: changes nothing
    EXPECT_TRUE(B->IsCurrent());
  }
  EXPECT_EQ(CurrentSegment, nullptr);
  A->SetCurrent(true);
  A->SetCurrent(false);
  EXPECT_EQ(CurrentSegment, nullptr);
}

TEST(SegmentModel, TreeItems) {
  TkivTreeItem Root;
  TkivTreeItem& A = AddInfoItem(Root, 5, "a", "1");
  TkivTreeItem& B = AddInfoInt(A, 0, "b", -7);
  kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
  Bitmap.SetSize(3, 64);
  TkivTreeItem& C = AddInfoObject(Root, 0, "c", &Bitmap);
  EXPECT_EQ(B.Value, "-7");
  EXPECT_EQ(B.Level(), 2);
  EXPECT_EQ(C.IndexInParent(), 1);
  EXPECT_EQ(Root.IndexInParent(), 0);
  EXPECT_EQ(C.GetHeight(), 66);
  A.Height = 17;
  EXPECT_EQ(A.GetHeight(), 17);

  TkivTreeItem& Copy = AddInfoCopy(Root, A);
  ASSERT_EQ(Copy.Count(), 1);
  EXPECT_EQ(Copy.Icon, 5u);
  EXPECT_EQ(Copy.GetChild(0).Name, "b");
  EXPECT_EQ(Copy.GetChild(0).Parent, &Copy);

  Root.RemoveChild(A);
  EXPECT_EQ(Root.Count(), 2);
  // An item taken out and freed on its own does not touch its former parent.
  Root.Extract(&C).reset();
  EXPECT_EQ(Root.Count(), 1);
}
