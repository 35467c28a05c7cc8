#include "exchange/standard_xml.h"

#include "common/language.h"
#include "common/replacing_writer.h"
#include "common/settings.h"

CStandardXMLTagResistivityJapanese::CStandardXMLTagResistivityJapanese() {
    geophysical_sections = "物理探査結果";
    value_language = "日本語";
    database = "データベース情報";
    database_version = "データベース形式";
    number_of_lines = "測線数";
    line = "測線";
    header = "標題情報";
    investigation = "調査情報";
    project = "事業工事名";
    investigation_name = "調査名";
    client = "発注機関名";
    contractor = "調査会社";
    application = "調査目的";
    survey = "探査管理データ";
    survey_method = "探査手法";
    survey_section_index = "探査管理_断面ID";
    acquisition = "測定情報";
    operator_ = "測定者";
    acquisition_date = "測定日";
    acquisition_method = "測定方法";
    instrument = "測定器";
    analysis = "解析情報";
    analyst = "解析者";
    analysis_method = "解析方法";
    analysys_software = "解析ソフトウェア";
    section = "断面";
    section_index = "断面ID";
    section_format = "断面_書式";
    value_TETRAGON_GRIDS = "四角形格子";
    data_method = "物性値_定義方法";
    value_ELEMENT = "要素";
    data_area = "物性値_定義場所";
    value_ELEMENT_DEFINITION = "要素定義";
    section_grid = "四角形格子";
    grid_nx = "水平方向要素数";
    grid_nz = "鉛直方向要素数";
    node_definition = "節点定義";
    node_n_node = "節点_節点数";
    node_node = "節点";
    node_x_index = "節点_X番号";
    node_z_index = "節点_Z番号";
    node_property = "節点_属性";
    value_surface = "地表";
    node_index = "節点_番号";
    node_x = "節点_水平座標";
    node_z = "節点_鉛直座標";
    element_definition = "要素定義";
    element_n_element = "要素_要素数";
    element_element = "要素";
    element_x_index = "要素_X番号";
    element_z_index = "要素_Z番号";
    element_index = "要素_番号";
    element_n_node = "要素_節点数";
    element_data = "要素_物性値";
    element_node_index = "要素_節点番号";
    element_node_order = "節点順番";
    data_definition = "物性値定義";
    physical_property = "物性";
    unit = "単位";
}

void CStandardXMLInvestigation::Load() {
    sProject = ReadSettingString("Investigation_sProject", sProject);
    sInvestigationName = ReadSettingString("Investigation_sInvestigationName", sInvestigationName);
    sClient = ReadSettingString("Investigation_sClient", sClient);
    sContractor = ReadSettingString("Investigation_sContractor", sContractor);
    sApplication = ReadSettingString("Investigation_sApplication", sApplication);
    sSite = ReadSettingString("Investigation_sSite", sSite);
}

void CStandardXMLAcquisition::Load() {
    sOperator = ReadSettingString("Acquisition_sOperator", sOperator);
    sAcquisitionDate = ReadSettingString("Acquisition_sAcquisitionDate", sAcquisitionDate);
    sMethod = ReadSettingString("Acquisition_sMethod", sMethod);
    sInstrument = ReadSettingString("Acquisition_sInstrument", sInstrument);
}

void CStandardXMLAnalysis::Load() {
    sAnalyst = ReadSettingString("Analysis_sAnalyst", sAnalyst);
    sMethod = ReadSettingString("Analysis_sMethod", sMethod);
    sSoftware = ReadSettingString("Analysis_sSoftware", sSoftware);
}

void CStandardXMLSurveyInfo::Load() {
    investigation.Load();
    acquisition.Load();
    analysis.Load();
}

namespace {

// Reals as the document layer writes them ("%f").
double Real(float v) { return static_cast<double>(v); }

void AddHeader(const CXmlElement& line, const CStandardXMLTagResistivity& t,
               const CStandardXMLSurveyInfo& info) {
    const CXmlElement header = line.CreateChild(t.header);
    const CXmlElement inv = header.CreateChild(t.investigation);
    inv.AddTextChild(t.project, info.investigation.sProject);
    inv.AddTextChild(t.investigation_name, info.investigation.sInvestigationName);
    inv.AddTextChild(t.client, info.investigation.sClient);
    inv.AddTextChild(t.contractor, info.investigation.sContractor);
    inv.AddTextChild(t.application, info.investigation.sApplication);
    inv.AddTextChild(t.site_name, info.investigation.sSite);

    const CXmlElement survey = header.CreateChild(t.survey);
    survey.AddTextChild(t.survey_method,
                        info.survey.methods.empty() ? std::string() : info.survey.methods.front());
    survey.AddTextChild(t.survey_section_index, 0);
    const CXmlElement acq = survey.CreateChild(t.acquisition);
    acq.AddTextChild(t.operator_, info.acquisition.sOperator);
    acq.AddTextChild(t.acquisition_date, info.acquisition.sAcquisitionDate);
    acq.AddTextChild(t.acquisition_method, info.acquisition.sMethod);
    acq.AddTextChild(t.instrument, info.acquisition.sInstrument);
    const CXmlElement ana = survey.CreateChild(t.analysis);
    ana.AddTextChild(t.analyst, info.analysis.sAnalyst);
    ana.AddTextChild(t.analysis_method, info.analysis.sMethod);
    ana.AddTextChild(t.analysys_software, info.analysis.sSoftware);
}

void AddSection(const CXmlElement& line, const CStandardXMLTagResistivity& t,
                const StandardXmlSection& s) {
    const CXmlElement section = line.CreateChild(t.section);
    section.AddTextChild(t.section_index, 0);
    section.AddTextChild("data_information", 0);
    section.AddTextChild(t.section_format, t.value_TETRAGON_GRIDS);
    section.AddTextChild(t.data_method, t.value_ELEMENT);
    section.AddTextChild(t.data_area, t.value_ELEMENT_DEFINITION);

    const int nx = s.nx, nz = s.nz;
    const CXmlElement grid = section.CreateChild(t.section_grid);
    grid.AddTextChild(t.grid_nx, nx);
    grid.AddTextChild(t.grid_nz, nz);

    const CXmlElement nodes = grid.CreateChild(t.node_definition);
    nodes.AddTextChild(t.node_n_node, (nx + 1) * (nz + 1));
    for (int i = 0; i <= nx; ++i) {
        for (int j = 0; j <= nz; ++j) {
            const int k = (nz + 1) * i + j;
            CXmlElement node = nodes.CreateChild(t.node_node)
                                   .SetAttribute(t.node_x_index, i)
                                   .SetAttribute(t.node_z_index, j);
            if (j == 0) node.SetAttribute(t.node_property, t.value_surface);
            node.AddTextChild(t.node_index, k);
            node.AddTextChild(t.node_x, Real(s.nodeX[static_cast<size_t>(k)]));
            node.AddTextChild(t.node_z, Real(s.nodeZ[static_cast<size_t>(k)]));
        }
    }

    const CXmlElement elements = grid.CreateChild(t.element_definition);
    elements.AddTextChild(t.element_n_element, nx * nz);
    int index = 0;
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < nz; ++j) {
            CXmlElement e = elements.CreateChild(t.element_element)
                                .SetAttribute(t.element_x_index, i)
                                .SetAttribute(t.element_z_index, j);
            e.AddTextChild(t.element_index, index++);
            e.AddTextChild(t.element_n_node, 4);
            e.AddTextChild(t.element_data,
                           Real(s.elementResistivity[static_cast<size_t>(nz * i + j)]));
            // Anticlockwise from the top-left node: top left, bottom left, bottom right, top
            // right (node row j + 1 lies below row j).
            const int corner[4] = {(nz + 1) * i + j, (nz + 1) * i + j + 1,
                                   (nz + 1) * (i + 1) + j + 1, (nz + 1) * (i + 1) + j};
            for (int order = 0; order < 4; ++order)
                e.AddTextChild(t.element_node_index, corner[order])
                    .SetAttribute(t.element_node_order, order);
        }
    }
    grid.CreateChild(t.data_definition);
    section.AddTextChild(t.physical_property, "");
    section.AddTextChild(t.unit, "");
}

void AddResistivityData(const CXmlElement& line, const CStandardXMLTagResistivity& t,
                        const StandardXmlSection& s) {
    const CXmlElement r2d = line.CreateChild(t.resistivity_2d);
    r2d.AddTextChild(t.resistivity_2d_section_index, 0);
    const CXmlElement positions = r2d.CreateChild(t.resistivity_2d_position);
    const int nPosition = static_cast<int>(s.positionDistance.size());
    positions.AddTextChild(t.resistivity_2d_position_n_position, nPosition);
    for (int k = 0; k < nPosition; ++k) {
        const auto u = static_cast<size_t>(k);
        const CXmlElement p = positions.CreateChild(t.resistivity_2d_position_location)
                                  .SetAttribute(t.resistivity_2d_position_index, k + 1);
        p.AddTextChild(t.resistivity_2d_position_property, 1);
        p.AddTextChild(t.resistivity_2d_position_distance, Real(s.positionDistance[u]));
        p.AddTextChild(t.resistivity_2d_position_elevation,
                       Real(u < s.positionElevation.size() ? s.positionElevation[u] : 0.0f));
    }
    const CXmlElement data = r2d.CreateChild(t.resistivity_2d_data);
    data.AddTextChild(t.resistivity_2d_data_n_data, static_cast<int>(s.data.size()));
    data.AddTextChild(t.resistivity_2d_data_unit_resistivity, "ohm");
    for (const StandardXmlSection::Datum& d : s.data) {
        const CXmlElement e = data.CreateChild(t.resistivity_2d_data_data);
        e.AddTextChild(t.resistivity_2d_data_data_c1_index, d.c1);
        e.AddTextChild(t.resistivity_2d_data_data_c2_index, d.c2);
        e.AddTextChild(t.resistivity_2d_data_data_p1_index, d.p1);
        e.AddTextChild(t.resistivity_2d_data_data_p2_index, d.p2);
        e.CreateChild(t.resistivity_2d_data_data_observation)
            .AddTextChild(t.resistivity_2d_data_data_observation_resistivity,
                          Real(d.fResistivity));
    }
}

}  // namespace

void BuildStandardXmlDocument(CXmlDocument& doc, const CStandardXMLTagResistivity& t,
                              const CStandardXMLSurveyInfo& info,
                              const StandardXmlSection& section) {
    doc.AddComment(kStandardXmlComment);
    const CXmlElement root = doc.CreateRoot(t.geophysical_sections);
    root.AddTextChild(t.language, t.value_language);
    const CXmlElement database = root.CreateChild(t.database);
    database.AddTextChild(t.database_version, kStandardXmlVersion);
    root.AddTextChild(t.number_of_lines, 1);
    const CXmlElement line = root.CreateChild(t.line);
    AddHeader(line, t, info);
    AddSection(line, t, section);
    AddResistivityData(line, t, section);
}

CXmlStatus WriteStandardXmlDocument(const std::filesystem::path& path,
                                    const CStandardXMLTagResistivity& tags,
                                    const CStandardXMLSurveyInfo& info,
                                    const StandardXmlSection& section) {
    const auto nodes = static_cast<size_t>(section.nx + 1) * static_cast<size_t>(section.nz + 1);
    const auto elements = static_cast<size_t>(section.nx) * static_cast<size_t>(section.nz);
    if (section.nx < 0 || section.nz < 0 || section.nodeX.size() != nodes ||
        section.nodeZ.size() != nodes || section.elementResistivity.size() != elements)
        return {CannotWriteFileMessage(path) + ": the section grid is incomplete"};
    CXmlDocument doc;
    BuildStandardXmlDocument(doc, tags, info, section);
    if (!doc.Status().ok()) return {CannotWriteFileMessage(path) + ": " + doc.Status().message};
    const std::string error = ReplaceFileBytes(path, doc.Text());
    return {error};
}
