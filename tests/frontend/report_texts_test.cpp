// The report texts of nearest-object picks and the reading of the input
// dialogs' entries, without a display.
#include "frontend/report_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace velm::gui {
namespace {

TEST(ReportTexts, NoObjectReportsShowTheClickRightAligned) {
    struct Case {
        NearestKind kind;
        const char* title;
        const char* first_line;
    };
    const Case cases[] = {
        {NearestKind::node, "Nearest Node", "No node selected"},
        {NearestKind::link, "Nearest Link", "No link selected"},
        {NearestKind::vehicle, "Nearest Vehicle", "No vehicle selected"},
        {NearestKind::signal, "Nearest Signal", "No Signal selected"},
        {NearestKind::stop_sign, "Nearest Stop Sign", "No Stop Sign selected"},
        {NearestKind::yield_sign, "Nearest Yield Sign", "No Yield Sign selected"},
        {NearestKind::incident, "Nearest Incident", "No Incident selected"},
        {NearestKind::loop_detector, "Nearest Detector Loop", "No Loop Detector Selected"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const DialogText t = dlg_message_no_nearest(c.kind, 100.0f, 380.0f, 1.25f, -0.5f);
        EXPECT_EQ(t.title, c.title);
        EXPECT_EQ(t.text, std::string(c.first_line) +
                              "\nMouse Coordinates: x=    100.000 y=    380.000"
                              "\nReal Coordinates:  x=      1.250 y=     -0.500");
    }
}

TEST(ReportTexts, SignsIncidentsAndDetectorsShowNumberAndClick) {
    EXPECT_EQ(dlg_message_nearest_stop_sign(12, 0.5f, 1.0f).text,
              "Link:         12\nMouse Coordinates: x=      0.500 y=      1.000\n");
    EXPECT_EQ(dlg_message_nearest_yield_sign(3, 0.0f, 0.0f).title, "Nearest Yield Sign");
    EXPECT_EQ(dlg_message_nearest_incident(2, 0.0f, 0.0f).text.substr(0, 20),
              "Incident:          2");
    const DialogText d = dlg_message_nearest_loop_detector(41, 2.0f, 3.0f);
    EXPECT_EQ(d.title, "Nearest Detector Loop");
    EXPECT_EQ(d.text,
              "Loop Detector:         41\nMouse Coordinates: x=      2.000 y=      3.000\n");
}

TEST(ReportTexts, LinkTitleAndGradeLine) {
    LinkReport r;
    r.link = 7, r.from_node = 10, r.to_node = 11, r.grade = -2, r.travel_time = 12.34f;
    r.capacity = 2000.0f;
    const DialogText t = dlg_message_nearest_link(r);
    EXPECT_EQ(t.title, " Link     7:   10-   11   -Name:Link-");
    EXPECT_NE(t.text.find(" - Link grade (%) :                -2\n"), std::string::npos);
    EXPECT_NE(t.text.find(" - Link Travel Time (sec) :        12.3\n"), std::string::npos);
    EXPECT_NE(t.text.find(" - Start Node:                    10\n"), std::string::npos);
    EXPECT_NE(t.text.find(" - Capacity (vph):               2000.0\n"), std::string::npos);
}

TEST(ReportTexts, NodeTitleAndLines) {
    NodeReport r;
    r.node = 11, r.type = 4, r.uturn = 1, r.x = 620, r.y = -15;
    const DialogText t = dlg_message_nearest_node(r);
    EXPECT_EQ(t.title, "Node #:     11");
    EXPECT_NE(t.text.find(" - U-Turn:               1\n - X-Coordinate:       620\n"
                          " - Y-Coordinate:       -15\n"),
              std::string::npos);
}

TEST(ReportTexts, SignalRowsHoldOneFieldPerPhase) {
    SignalReport r;
    r.signal = 4, r.cycle = 60, r.offset = 10, r.position = 52, r.phase = 2, r.interval = 2;
    {
        SCOPED_TRACE("four phases");
        r.phases = 4;
        for (int p = 0; p < 4; ++p) {
            r.number[static_cast<std::size_t>(p)] = p + 1;
            r.green[static_cast<std::size_t>(p)] = 15.0f * static_cast<float>(p);
        }
        const DialogText t = dlg_message_nearest_signal(r);
        EXPECT_EQ(t.title, "Signal:          4");
        EXPECT_NE(t.text.find("Phase Number:          1          2          3          4 \n"),
                  std::string::npos);
        EXPECT_NE(t.text.find("Start Green :        0.0       15.0       30.0       45.0 \n"),
                  std::string::npos);
        EXPECT_EQ(t.text.substr(0, 29), " Cycle          :       60.0 ");
        EXPECT_NE(t.text.find("Interval     :  2\n"), std::string::npos);
    }
    {
        SCOPED_TRACE("no phases");
        r.phases = 0;
        const DialogText t = dlg_message_nearest_signal(r);
        const auto       rows = t.text.substr(t.text.find("Phase Number"));
        EXPECT_EQ(rows, "Phase Number: \nStart Green : \nStart Amber : \nEnd of Phase: \n");
    }
}

TEST(ReportTexts, VehicleReportWithoutNextLink) {
    VehicleReport r;
    r.trip = 42, r.headway = 1.0f, r.next_link = -99, r.link = 1, r.link_length = 0.12f;
    const DialogText t = dlg_message_nearest_vehicle(r);
    EXPECT_EQ(t.title, "Vehicle =      42");
    EXPECT_NE(t.text.find("   Headway      :   1.000 km\n"), std::string::npos);
    EXPECT_NE(t.text.find(" Next   - Link  :     -99\n   Length       :   0.000\n"
                          "   Lane         :       0\n"),
              std::string::npos);
    EXPECT_NE(t.text.find("   Lane         :    -\n   Turn         :    -\n"), std::string::npos);
    EXPECT_EQ(t.text.back(), '0'); // the lane-change line ends the text, no line end
}

TEST(InputEntries, LeadingWholeNumber) {
    struct Case {
        const char* entry;
        int         value;
    };
    const Case cases[] = {{"12abc", 12},
                          {"abc", 0},
                          {"", 0},
                          {"  -7 km", -7},
                          {"+15", 15},
                          {"99999999999", 0},
                          {"2147483647", 2147483647},
                          {"-2147483649", 0},
                          {"+-3", 0},
                          {"3.9", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(leading_integer(c.entry), c.value);
    }
}

} // namespace
} // namespace velm::gui
