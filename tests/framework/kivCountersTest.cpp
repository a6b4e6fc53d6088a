#include <gtest/gtest.h>

#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoTrace.h"
#include "framework/kivObjectList.h"
#include "jpeg/kivJpegInfo.h"
#include "support/kivTestSupport.h"

TEST(Counters, FreeingATreeRestoresTheCounts) {
  const int32_t Lists = ObjectListCount, Traced = TraceObjectCount;
  {
    TkivHTMLHTML Document;
    auto& Table = AddReportTable(Document.Body());
    AddText(AddCell(AddRow(Table)), "x");
    EXPECT_EQ(ObjectListCount, Lists + 7); // HTML, HEAD, BODY, TABLE, TR, TD, text
  }
  EXPECT_EQ(ObjectListCount, Lists);
  {
    auto Segment = TkivJpegSignatireSegment::ClassObject().Create();
    AddInfoItem(AddInfoItem(*Segment->Info, 0, "a", "b"), 0, "c", "d");
    kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
    EXPECT_EQ(TraceObjectCount, Traced + 5); // segment, its info root, two items, bitmap
  }
  EXPECT_EQ(TraceObjectCount, Traced);
  {
    TkivSegmentList List(TkivSegmentList::ClassObject());
    TkivSegment::ClassObject().Create(List, true);
    TkivSegment::ClassObject().Create(List, false);
    List.Delete(0);
  }
  EXPECT_EQ(TraceObjectCount, Traced);
  EXPECT_EQ(ObjectListCount, Lists);
}

// Each counter complains at unload while anything is left:
// "Ошибка !!!: Не все [Trace] объекты удалены из памяти !!! Осталось N", in Windows-1251.
template <class T>
void ExpectLeakReportedAtUnload(int32_t& Count, void (*Finalize)(), const std::string& Kind) {
  ASSERT_EQ(Count, 0) << "an earlier test leaked";
  {
    T Leaked, AlsoLeaked;
    testing::internal::CaptureStderr();
    Finalize();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\xCE\xF8\xE8\xE1\xEA\xE0 !!!: \xCD\xE5 \xE2\xF1\xE5 " + Kind +
                  "\xEE\xE1\xFA\xE5\xEA\xF2\xFB \xF3\xE4\xE0\xEB\xE5\xED\xFB \xE8\xE7 "
                  "\xEF\xE0\xEC\xFF\xF2\xE8 !!! \xCE\xF1\xF2\xE0\xEB\xEE\xF1\xFC 2\n");
  }
  testing::internal::CaptureStderr();
  Finalize();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Counters, LeftObjectsAreReportedAtUnload) {
  ExpectLeakReportedAtUnload<TkivTraceObject>(TraceObjectCount, kivInfoTrace_Finalize, "Trace ");
  ExpectLeakReportedAtUnload<TkivObjectList>(ObjectListCount, kivObjectList_Finalize, "");
}

TEST(Counters, ObjectListEventsSeeAddedAndDeletedItemsOnly) {
  TkivObjectList List;
  std::string Log;
  List.OnAdded = [&](TkivObjectList&, TObject*) { Log += "+"; };
  List.OnDeleted = [&](TkivObjectList&, TObject*) { Log += "-"; };
  List.Add(std::make_unique<TObject>());
  TObject& Second = List.Add(std::make_unique<TObject>());
  auto Taken = List.Extract(&Second);
  List.Delete(0);
  EXPECT_EQ(Log, "++-");
  EXPECT_EQ(List.Count(), 0);
}
