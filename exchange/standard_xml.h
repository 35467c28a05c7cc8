// The standard XML document of a two-dimensional geophysical section (format identifier
// "PWRI.STANDARD.FORMAT.2011.01"): its tag vocabularies, the descriptive survey information
// and the document of one resistivity section with the data it was derived from.
//
// The format comes with two vocabularies; the document is written with one of them. Every
// element name and the few fixed values are asked of the chosen vocabulary, so the writer is
// the same for both.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "exchange/xml_writer.h"

inline constexpr const char* kStandardXmlVersion = "PWRI.STANDARD.FORMAT.2011.01";
// The comment after the declaration: "common format of two-dimensional geophysical sections".
inline constexpr const char* kStandardXmlComment = "物理探査結果二次元断面共通書式";

// Tags of the format's first version. Member names are the English tags; the capitalised and
// the other fixed values carry a "value_" prefix.
class CStandardXMLTag {
public:
    virtual ~CStandardXMLTag() = default;
    // "ENGLISH" or "JAPANESE".
    virtual std::string Language() const { return "ENGLISH"; }
};

class CStandardXMLTag_2010_01 : public CStandardXMLTag {
public:
    // Document and header.
    std::string geophysical_sections = "geophysical_sections";
    std::string language = "language";
    std::string value_language = "English";  // the text of `language`
    std::string database = "database";
    std::string database_version = "database_version";
    std::string number_of_lines = "number_of_lines";
    std::string line = "line";
    std::string header = "header";
    std::string investigation = "investigation";
    std::string project = "project";
    std::string investigation_name = "investigation_name";
    std::string client = "client";
    std::string contractor = "contractor";
    std::string application = "application";
    std::string site_name = "site_name";
    std::string survey = "survey";
    std::string survey_method = "survey_method";
    std::string survey_section_index = "survey_section_index";
    std::string acquisition = "acquisition";
    std::string operator_ = "operator";  // "operator" is a C++ keyword
    std::string acquisition_date = "acquisition_date";
    std::string acquisition_method = "acquisition_method";
    std::string instrument = "instrument";
    std::string analysis = "analysis";
    std::string analyst = "analyst";
    std::string analysis_method = "analysis_method";
    std::string analysys_software = "analysys_software";
    // Section and its grid.
    std::string section = "section";
    std::string section_index = "section_index";
    std::string section_format = "section_format";
    std::string value_TETRAGON_GRIDS = "TETRAGON_GRIDS";
    std::string data_method = "data_method";
    std::string value_ELEMENT = "ELEMENT";
    std::string data_area = "data_area";
    std::string value_ELEMENT_DEFINITION = "ELEMENT_DEFINITION";
    std::string section_grid = "section_grid";
    std::string grid_nx = "grid_nx";
    std::string grid_nz = "grid_nz";
    std::string node_definition = "node_definition";
    std::string node_n_node = "node_n_node";
    std::string node_node = "node_node";
    std::string node_x_index = "node_x_index";
    std::string node_z_index = "node_z_index";
    std::string node_property = "node_property";
    std::string value_surface = "surface";
    std::string node_index = "node_index";
    std::string node_x = "node_x";
    std::string node_z = "node_z";
    std::string element_definition = "element_definition";
    std::string element_n_element = "element_n_element";
    std::string element_element = "element_element";
    std::string element_x_index = "element_x_index";
    std::string element_z_index = "element_z_index";
    std::string element_index = "element_index";
    std::string element_n_node = "element_n_node";
    std::string element_data = "element_data";
    std::string element_node_index = "element_node_index";
    std::string element_node_order = "element_node_order";
    std::string data_definition = "data_definition";
    std::string physical_property = "physical_property";
    std::string unit = "unit";
    // Tags of the other parts of the common format (views, locations, contours, levees),
    // not used by the section document written here.
    std::string common_view = "common_view";
    std::string database_information = "database_information";
    std::string database_name = "database_name";
    std::string file_name = "file_name";
    std::string folder_path = "folder_path";
    std::string database_id = "database_id";
    std::string scale = "scale";
    std::string vertical_horizontal_ratio = "vertical_horizontal_ratio";
    std::string cell = "cell";
    std::string view = "view";
    std::string location = "location";
    std::string location_type = "location_type";
    std::string location_coordinate = "location_coordinate";
    std::string location_origin = "location_origin";
    std::string location_origin_x = "location_origin_x";
    std::string location_origin_y = "location_origin_y";
    std::string location_n_node = "location_n_node";
    std::string location_node_of_location = "location_node_of_location";
    std::string location_i_node = "location_i_node";
    std::string location_node_x = "location_node_x";
    std::string location_node_y = "location_node_y";
    std::string location_latitude = "location_latitude";
    std::string location_longitude = "location_longitude";
    std::string location_distance = "location_distance";
    std::string location_elevation = "location_elevation";
    std::string location_site = "location_site";
    std::string jshis_geomorphologic_code = "jshis_geomorphologic_code";
    std::string jshis_avs30 = "jshis_avs30";
    std::string investigation_site = "investigation_site";
    std::string site_information = "site_information";
    std::string contour = "contour";
    std::string n_contour = "n_contour";
    std::string contour_boundary = "contour_boundary";
    std::string i_contour_boundary = "i_contour_boundary";
    std::string r = "r";
    std::string g = "g";
    std::string b = "b";
    std::string boundary_value = "boundary_value";
    std::string axis = "axis";
    std::string axis_xst = "axis_xst";
    std::string axis_xe = "axis_xe";
    std::string axis_xi = "axis_xi";
    std::string axis_nx = "axis_nx";
    std::string axis_yst = "axis_yst";
    std::string axis_ye = "axis_ye";
    std::string axis_yi = "axis_yi";
    std::string axis_ny = "axis_ny";
    std::string levee = "levee";
    std::string river_name = "river_name";
    std::string river_side = "river_side";
    std::string levee_location = "levee_location";
    std::string distance_post_star = "distance_post_star";
    std::string distance_post_star_odd = "distance_post_star_odd";
    std::string distance_post_end = "distance_post_end";
    std::string distance_post_end_odd = "distance_post_end_odd";
    std::string value_TRUE = "TRUE";
    std::string value_FALSE = "FALSE";
    std::string value_NODE = "NODE";
    std::string value_NODE_DEFINITION = "NODE_DEFINITION";
    std::string node_data = "node_data";
    std::string node_data_index = "node_data_index";
    std::string element_data_index = "element_data_index";
    std::string data_n_data = "data_n_data";
    std::string data_data = "data_data";
    std::string data_index = "data_index";
    std::string data_value = "data_value";
    std::string contour_method = "contour_method";
    std::string contour_line = "contour_line";
    std::string grid = "grid";
    std::string no_color = "no_color";
};

class CStandardXMLTag_2011_01 : public CStandardXMLTag_2010_01 {
public:
    std::string value_version = kStandardXmlVersion;
};

// Adds the tags of the two-dimensional resistivity data; they are English in both vocabularies.
class CStandardXMLTagResistivity : public CStandardXMLTag_2011_01 {
public:
    std::string resistivity_2d = "resistivity_2d";
    std::string resistivity_2d_section_index = "resistivity_2d_section_index";
    std::string resistivity_2d_position = "resistivity_2d_position";
    std::string resistivity_2d_position_n_position = "resistivity_2d_position_n_position";
    std::string resistivity_2d_position_location = "resistivity_2d_position_location";
    std::string resistivity_2d_position_index = "resistivity_2d_position_index";
    std::string resistivity_2d_position_property = "resistivity_2d_position_property";
    std::string resistivity_2d_position_distance = "resistivity_2d_position_distance";
    std::string resistivity_2d_position_elevation = "resistivity_2d_position_elevation";
    std::string resistivity_2d_data = "resistivity_2d_data";
    std::string resistivity_2d_data_n_data = "resistivity_2d_data_n_data";
    std::string resistivity_2d_data_unit_resistivity = "resistivity_2d_data_unit_resistivity";
    std::string resistivity_2d_data_data = "resistivity_2d_data_data";
    std::string resistivity_2d_data_data_c1_index = "resistivity_2d_data_data_c1_index";
    std::string resistivity_2d_data_data_c2_index = "resistivity_2d_data_data_c2_index";
    std::string resistivity_2d_data_data_p1_index = "resistivity_2d_data_data_p1_index";
    std::string resistivity_2d_data_data_p2_index = "resistivity_2d_data_data_p2_index";
    std::string resistivity_2d_data_data_observation = "resistivity_2d_data_data_observation";
    std::string resistivity_2d_data_data_observation_resistivity =
        "resistivity_2d_data_data_observation_resistivity";
    std::string resistivity_2d_data_data_observation_current =
        "resistivity_2d_data_data_observation_current";
    std::string resistivity_2d_data_data_observation_potential =
        "resistivity_2d_data_data_observation_potential";
};

// The Japanese vocabulary: the tags of the header, the section and its grid in Japanese. The
// tags "language" and "site_name", the resistivity data's tags and the tags of the unused
// parts keep their English form.
class CStandardXMLTagResistivityJapanese : public CStandardXMLTagResistivity {
public:
    CStandardXMLTagResistivityJapanese();
    std::string Language() const override { return "JAPANESE"; }
};

// Descriptive information, each value read from its setting (section "General") with the
// English default.
struct CStandardXMLInvestigation {
    std::string sProject = "Project";
    std::string sInvestigationName = "InvestigationName";
    std::string sClient = "Client";
    std::string sContractor = "Contractor";
    std::string sApplication = "Purpose";
    std::string sSite = "Site";
    void Load();
};

struct CStandardXMLAcquisition {
    std::string sOperator = "Operator";
    std::string sAcquisitionDate = "20010101";
    std::string sMethod = "Method";
    std::string sInstrument = "Instrument";
    void Load();
};

struct CStandardXMLAnalysis {
    std::string sAnalyst = "Analyst";
    std::string sMethod = "Non-linear least square method";
    std::string sSoftware = "Sarovin";
    void Load();
};

struct CStandardXMLSurvey {
    // The survey methods of the format; the first is written.
    std::vector<std::string> methods = {"geophysical_exploration", "p_refraction",
                                        "s_refraction", "resistivity", "surface_wave"};
};

struct CStandardXMLSurveyInfo {
    CStandardXMLInvestigation investigation;
    CStandardXMLAcquisition acquisition;
    CStandardXMLAnalysis analysis;
    CStandardXMLSurvey survey;
    // All three read from the settings.
    void Load();
};

// The section as the document carries it: a grid of nx + 1 node columns by nz + 1 node rows
// (row 0 the surface, row nz the closed base), one resistivity per element, and the
// four-electrode data with their electrode positions. Positions in m along the line,
// elevations in m (negative downwards), resistivities in Ohm-m.
struct StandardXmlSection {
    int nx = 0, nz = 0;
    std::vector<float> nodeX, nodeZ;          // [(nz + 1) * i + j]
    std::vector<float> elementResistivity;    // [nz * i + j]
    std::vector<float> positionDistance;      // electrode k + 1 at [k]
    std::vector<float> positionElevation;
    struct Datum {
        int c1 = 0, c2 = 0, p1 = 0, p2 = 0;  // 1-based electrode positions
        float fResistivity = 0.0f;          // apparent resistivity
    };
    std::vector<Datum> data;
};

// Builds the whole document (declaration, comment, root and everything under it) into doc,
// which must be empty. The section's arrays must have the sizes given by nx and nz.
void BuildStandardXmlDocument(CXmlDocument& doc, const CStandardXMLTagResistivity& tags,
                              const CStandardXMLSurveyInfo& info, const StandardXmlSection& section);

// Builds and writes the document; the file is replaced only once the document is complete
// (a temporary beside it, renamed). An empty status, or the message naming the file.
CXmlStatus WriteStandardXmlDocument(const std::filesystem::path& path,
                                    const CStandardXMLTagResistivity& tags,
                                    const CStandardXMLSurveyInfo& info,
                                    const StandardXmlSection& section);
