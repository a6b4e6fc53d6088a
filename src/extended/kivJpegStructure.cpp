#include "extended/kivJpegStructure.h"

#include "framework/kivInfoStream.h"

void DescribeRestartInterval(const TkivExtendedInput& Input, TkivDescription& Out) {
  const uint16_t Interval = ReadWord(Input.Payload, true);
  Out.Field("Restart interval", Interval,
            Interval == 0 ? "no restart markers" : "MCUs between restart markers");
}
