// GPS acquisition: GGA sentences into fixes and "21" records, and the hand-over of fixes
// between programs through the shared settings ("Get GPS from registry").
#include <algorithm>
#include <cmath>

#include "acquisition/acquisition_state.h"
#include "common/nmea.h"
#include "common/record_time.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "common/utm.h"

void CAcquisitionState::HandleGGA(std::string_view line, CClockTime t, int bPublish) {
    CGPSData fix;
    const GGAPosition position = DecodeGGAPosition(line, fix);
    // No position yet (the receiver has no fix): no fix, no record.
    if (position == GGAPosition::NoFix) return;

    // The logging program keeps no altitude (its fixes and uploads carry 0).
    fix.dAltitude = 0.0;
    fix.sSentence.assign(line);
    fix.time = t.time;
    fix.iMilliSecond = t.iMilliSecond;
    // Fields that are not positions in NMEA form, or a place off the globe, give no fix; the
    // sentence is still recorded as received.
    const bool bPosition = position == GGAPosition::Fix;
    if (bPosition) {
        ToUTM(fix);  // always a zone 1..60: the decoder refuses 180 degrees and more
        fixes.Append(fix);
        if (bPublish == 1) PublishFix(fix);
    }

    // A line whose console is lost takes no positions until it is back: they would belong
    // to no reading.
    if (iRecordState == 1 && bPaused == 0 && !IsLost(kSlotGantrel)) {
        const std::string record = FormatGPSRecord(fix);
        bool ok = true;
        if (bGantrel2Started != 0) ok = WriteRecord(kSecondInstrument, record, RecordKind::Fix);
        const bool bFirst = WriteRecord(kFirstInstrument, record, RecordKind::Fix);
        if (!(bFirst && ok)) CautionNotSaved();
    }
    if (bPosition) latestFix = fix;
}

void CAcquisitionState::PublishFix(const CGPSData& fix) {
    RecordClock c;
    if (!LocalClock(fix.time, fix.iMilliSecond, c)) {
        c = RecordClock{};
        c.iHour = c.iMinute = c.iSecond = -1;
    }
    WriteSuiteValue("GPS_Latitude", FormatC("%f", fix.dLatitude));
    WriteSuiteValue("GPS_Longitude", FormatC("%f", fix.dLongitude));
    WriteSuiteValue("GPS_Elevation", FormatC("%f", fix.dAltitude));
    WriteSuiteInt("GPS_Year", c.iYear);
    WriteSuiteInt("GPS_Month", c.iMonth);
    WriteSuiteInt("GPS_Day", c.iDay);
    WriteSuiteInt("GPS_Hour", c.iHour);
    WriteSuiteInt("GPS_Minute", c.iMinute);
    WriteSuiteInt("GPS_Sec", c.iSecond);
    WriteSuiteInt("GPS_MilliSec", fix.iMilliSecond);
    WriteSuiteInt("GPS_Active", 1);
    WriteSuiteValue("GPS_ASCIIString", fix.sSentence);
}

int CAcquisitionState::ReadRegistryGPS() {
    if (ReadSuiteInt("GPS_Active", 0) == 0) return 0;
    std::string sentence = ReadSuiteValue("GPS_ASCIIString", "");
    WriteSuiteInt("GPS_Active", 0);
    // Another program wrote this: take it as one received line would come.
    sentence = sentence.substr(
        0, std::min(sentence.find_first_of(std::string("\r\n\0", 3)), kMaxRecordLength));
    const int kind = DispatchLine(sentence, kSlotGPS, clock_.Now(), 0);
    receivedLines.Append(sentence);
    if (kind == kLineGGA) dataLines.Append(sentence);
    FlushRecords();
    return 1;
}

void CAcquisitionState::ToggleRegistryGPS() {
    if (bRegistryGPS == 0) {
        if (bGPSStarted != 0) return;  // the GPS port is read: the item is disabled
        bGPSStarted = 1;
        StartPollTimerIfNeeded();
        bRegistryGPS = 1;
    } else {
        bGPSStarted = 0;
        bRegistryGPS = 0;
        StopPollTimerIfIdle();
    }
}
