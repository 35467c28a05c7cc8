// The two documents sent to the collecting service: one reading with the latest GPS position
// (logging program, one request per recorded reading) and the whole survey (processing
// program). Both are XML; the body is sent as it stands, not form-encoded.
#pragma once

#include <string>

#include "common/survey.h"
#include "exchange/xml_writer.h"

// The reading document, on one line and without spaces between its parts:
//   <?xml version='1.0'?><gantrel_file><gantrel_data><latitude>..</latitude>
//   <longitude>..</longitude><number_of_receiver>n</number_of_receiver>
//   <resistance_1>..</resistance_1> ... <resistance_n>..</resistance_n>
//   </gantrel_data></gantrel_file>
// Coordinates are the fix's degrees (south and west negative) written "%f" from double
// precision, so the sixth decimal (about 0.1 m) is real; 0.000000 for both when no fix has
// been received yet (latestFix null, or a fix record still unset at -200 or otherwise off
// the globe). Resistances are V/I "%f". A receiver count outside
// 0..5 is written as it stands, with at most five resistance elements.
std::string BuildReadingDocument(const CGantrelData& reading, const CGPSData* latestFix);

// The survey document into doc (a fresh document): gantrel_file with user_name "OSTREL_PC",
// project_name, then one gantrel_line per line in survey order holding file_index,
// line_index (from 0), gantrel_geometry (offset, rope length, receiver and transmitter
// dipoles) and one gantrel_data per reading (number_of_receiver, resistance_1..n). Returns
// the writer's status: a project name that is not UTF-8 makes it fail, and nothing is sent.
CXmlStatus BuildSurveyDocument(const CGantrelSurvey& survey, const std::string& sProjectName,
                               CXmlDocument& doc);

// Number of readings over all lines of the survey.
int CountSurveyReadings(const CGantrelSurvey& survey);
