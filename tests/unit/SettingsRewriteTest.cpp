#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "SettingsRoundTrip.h"
#include "settings/BarSettings.h"
#include "settings/SettingsRewrite.h"
#include "settings/SettingsStore.h"

namespace nimbrel {
namespace {

using test::RoundTripFault;

constexpr ChangedKeys kDock{true, false, false};
constexpr ChangedKeys kCallBack{false, true, false};
constexpr ChangedKeys kStyle{false, false, true};
constexpr ChangedKeys kEdges{true, true, false};

struct Rewrite {
    const char* kind;
    std::string file;
    ChangedKeys changed;
    ChosenSettings now;
    std::string expected;
};

const std::vector<Rewrite>& FileKinds() {
    static const std::vector<Rewrite> rows{
        {"default file",
         std::string(kDefaultSettingsFile),
         kDock,
         {Edge::Left, Edge::Top, 1},
         "TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=TOP\r\nSTYLE=1\r\n"},
        {"duplicates",
         "TOOLBAR_POSITION=left\r\nSTYLE=2\r\ntoolbar_position=Right\r\n",
         kDock,
         {Edge::Bottom, Edge::Top, 2},
         "TOOLBAR_POSITION=BOTTOM\r\nSTYLE=2\r\ntoolbar_position=BOTTOM\r\n"},
        {"missing key",
         "TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\n",
         kStyle,
         {Edge::Top, Edge::Top, 3},
         "TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=3\r\n"},
        {"Classic",
         "STYLE=2\r\nTOOLBAR_POSITION=TOP\r\n  style=3\r\n",
         kStyle,
         {Edge::Top, Edge::Top, 0},
         "TOOLBAR_POSITION=TOP\r\n"},
        {"Classic, unended last line",
         "TOOLBAR_POSITION=TOP\r\nSTYLE=2",
         kStyle,
         {Edge::Top, Edge::Top, 0},
         "TOOLBAR_POSITION=TOP\r\n"},
        {"Classic, no STYLE line",
         "TOOLBAR_POSITION=TOP\r\n",
         kStyle,
         {Edge::Top, Edge::Top, 0},
         "TOOLBAR_POSITION=TOP\r\n"},
        {"LF only",
         "; my bar\n[Bar]\nTOOLBAR_POSITION=LEFT\nPOINTER_POSITION=LEFT\nSTYLE=3\n",
         kStyle,
         {Edge::Top, Edge::Top, 2},
         "; my bar\r\n[Bar]\r\nTOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=2\r\n"},
        {"LF only, keys missing",
         "COLOUR=red\nTOOLBAR_POSITION=LEFT",
         kDock,
         {Edge::Right, std::nullopt, 0},
         "COLOUR=red\r\nTOOLBAR_POSITION=RIGHT\r\nPOINTER_POSITION=NONE\r\n"},
        {"one bare LF",
         "STYLE=2\r\nCOLOUR=red\nTOOLBAR_POSITION=LEFT\r\n",
         kDock,
         {Edge::Bottom, Edge::Top, 2},
         "STYLE=2\r\nCOLOUR=red\r\nTOOLBAR_POSITION=BOTTOM\r\nPOINTER_POSITION=TOP\r\n"},
        {"CR only",
         "TOOLBAR_POSITION=TOP\rSTYLE=1",
         kCallBack,
         {Edge::Top, Edge::Left, 1},
         "TOOLBAR_POSITION=TOP\rSTYLE=1\rPOINTER_POSITION=LEFT\r"},
        {"CR and CR LF",
         "STYLE=1\rTOOLBAR_POSITION=TOP\r\nX\r",
         kStyle,
         {Edge::Top, Edge::Top, 2},
         "STYLE=2\rTOOLBAR_POSITION=TOP\r\nX\r"},
        {"empty", "", kDock, {Edge::Left, Edge::Top, 1}, "TOOLBAR_POSITION=LEFT\r\n"},
        {"lower-case keys",
         "toolbar_position=top\r\npointer_position=top\r\nstyle=1\r\n",
         kStyle,
         {Edge::Top, Edge::Top, 3},
         "toolbar_position=top\r\npointer_position=top\r\nstyle=3\r\n"},
        {"[ lines",
         "[TOOLBAR_POSITION=LEFT\r\n  [STYLE=2\r\n",
         kDock,
         {Edge::Right, Edge::Top, 0},
         "[TOOLBAR_POSITION=LEFT\r\n  [STYLE=2\r\nTOOLBAR_POSITION=RIGHT\r\n"},
        {"notes, unknown keys, spaces",
         "; bar\r\nCOLOUR=red\r\nTOOLBAR_POSITION = LEFT\r\n  STYLE=1  \r\n\tSTYLE=2\r\n",
         kStyle,
         {Edge::Top, Edge::Top, 3},
         "; bar\r\nCOLOUR=red\r\nTOOLBAR_POSITION = LEFT\r\n  STYLE=3  \r\n\tSTYLE=2\r\n"},
        {"a second '='",
         "TOOLBAR_POSITION=LEFT=1\r\n",
         kDock,
         {Edge::Right, Edge::Top, 0},
         "TOOLBAR_POSITION=RIGHT\r\n"},
        {"unended last line",
         "STYLE=1\r\nTOOLBAR_POSITION=TOP",
         kCallBack,
         {Edge::Top, Edge::Bottom, 1},
         "STYLE=1\r\nTOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=BOTTOM\r\n"},
        {"both edges",
         std::string(kDefaultSettingsFile),
         kEdges,
         {Edge::Left, Edge::Left, 1},
         "TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=LEFT\r\nSTYLE=1\r\n"},
        {"Nowhere",
         "POINTER_POSITION=LEFT\r\nSTYLE=2\r\n",
         kCallBack,
         {Edge::Top, std::nullopt, 2},
         "POINTER_POSITION=NONE\r\nSTYLE=2\r\n"},
        {"style out of range", "STYLE=3\r\n", kStyle, {Edge::Top, Edge::Top, 9}, "STYLE=1\r\n"},
    };
    return rows;
}

TEST(SettingsRewrite, EachFileKindChangesOnlyTheChosenKeys) {
    for (const Rewrite& row : FileKinds()) {
        const std::string after = RewriteSettings(row.file, row.changed, row.now);
        EXPECT_EQ(RoundTripFault(row.file, after, row.changed, row.now), "") << row.kind;
        EXPECT_EQ(after, row.expected) << row.kind;
    }
}

TEST(SettingsRewrite, EachFileKindHoldsTheRoundTripForAnyChange) {
    const ChosenSettings nows[] = {{Edge::Left, std::nullopt, 0}, {Edge::Bottom, Edge::Right, 3}, {}};
    for (const Rewrite& row : FileKinds()) {
        for (unsigned bits = 0; bits < 8; ++bits) {
            const ChangedKeys changed{(bits & 1U) != 0, (bits & 2U) != 0, (bits & 4U) != 0};
            for (const ChosenSettings& now : nows) {
                EXPECT_EQ(RoundTripFault(row.file, RewriteSettings(row.file, changed, now), changed, now), "")
                    << row.kind << ", keys " << bits << ", style " << now.style;
            }
        }
    }
}

// The property itself must catch what a careless rewrite does.
TEST(SettingsRoundTrip, FindsTheFaultsOfACarelessRewrite) {
    const struct {
        const char* fault;
        std::string before, after;
        ChangedKeys changed;
    } rows[] = {
        {"note dropped", "; n\r\nSTYLE=1\r\n", "STYLE=2\r\n", kStyle},
        {"one duplicate left", "STYLE=1\r\nSTYLE=1\r\n", "STYLE=1\r\nSTYLE=2\r\n", kStyle},
        {"line end changed", "X\rSTYLE=1\r", "X\r\nSTYLE=2\r", kStyle},
        {"key respelled", "style=1\r\n", "STYLE=2\r\n", kStyle},
        {"spaces dropped", "  STYLE=1 \r\n", "STYLE=2\r\n", kStyle},
        {"lower-case value", "TOOLBAR_POSITION=TOP\r\n", "TOOLBAR_POSITION=left\r\n", kDock},
        {"bare LF kept", "STYLE=1\nX", "STYLE=2\nX", kStyle},
        {"another key changed", "POINTER_POSITION=LEFT\r\n", "POINTER_POSITION=TOP\r\nTOOLBAR_POSITION=LEFT\r\n",
         kDock},
        {"appended with another end", "A\r", "A\rTOOLBAR_POSITION=LEFT\r\n", kDock},
        {"appended twice", "", "TOOLBAR_POSITION=LEFT\r\nTOOLBAR_POSITION=LEFT\r\n", kDock},
        {"line end added for nothing", "STYLE=1\r\nX", "STYLE=2\r\nX\r\n", kStyle},
    };
    const ChosenSettings now{Edge::Left, Edge::Left, 2};
    for (const auto& row : rows)
        EXPECT_NE(RoundTripFault(row.before, row.after, row.changed, now), "") << row.fault;
    EXPECT_NE(RoundTripFault("STYLE=1\r\n", "STYLE=1\r\n", kStyle, {Edge::Top, Edge::Top, 0}), "") << "Classic";
    EXPECT_NE(RoundTripFault("", "", kDock, {Edge::Top, Edge::Top, 1}), "") << "missing key not appended";
}

constexpr const char* kPath = "C:\\Apps\\Bar\\Nimbrel.Txt";

// A store over a fake file system, for a bar in C:\Apps\Bar.
struct StoreBed {
    std::string Content() const { return files.Content(kPath).value_or("(none)"); }

    test::CallLog log;
    test::FakeFileSystem files{log};
    SettingsStore store{files, "C:\\Apps\\Bar"};
};

TEST(SettingsStore, EachSaveRewritesTheFileAsItIsAtThatMoment) {
    StoreBed bed;
    bed.files.Put(kPath, "; edited since the start\r\nSTYLE=3\r\n");
    EXPECT_EQ(bed.store.Save(kDock, {Edge::Left, Edge::Top, 3}), std::nullopt);
    EXPECT_EQ(bed.Content(), "; edited since the start\r\nSTYLE=3\r\nTOOLBAR_POSITION=LEFT\r\n");
    bed.files.Put(kPath, "STYLE=3\r\nTOOLBAR_POSITION=LEFT\r\n; edited again\r\n");
    EXPECT_EQ(bed.store.Save(kStyle, {Edge::Left, Edge::Top, 2}), std::nullopt);
    EXPECT_EQ(bed.Content(), "STYLE=2\r\nTOOLBAR_POSITION=LEFT\r\n; edited again\r\n");
    EXPECT_EQ(bed.files.writes, 0);
    EXPECT_EQ(bed.log.Matching("files."), (std::vector<std::string>{
                                              "files.ReadBytes(C:\\Apps\\Bar\\Nimbrel.Txt)",
                                              "files.Replace(C:\\Apps\\Bar\\Nimbrel.Txt)",
                                              "files.ReadBytes(C:\\Apps\\Bar\\Nimbrel.Txt)",
                                              "files.Replace(C:\\Apps\\Bar\\Nimbrel.Txt)",
                                          }));
}

TEST(SettingsStore, AFileRemovedSinceTheStartGetsWhatTheBarShowsNow) {
    StoreBed bed;
    EXPECT_EQ(bed.store.Save(kDock, {Edge::Right, std::nullopt, 2}), std::nullopt);
    EXPECT_EQ(bed.Content(), "TOOLBAR_POSITION=RIGHT\r\nPOINTER_POSITION=NONE\r\nSTYLE=2\r\n");
}

TEST(SettingsStore, AFailureTellsWhereAndWhyAndChangesNothing) {
    const struct {
        const char* what;
        test::EntryKind kind;
        std::optional<std::string> failReplace;
        bool readOnly;
        std::string reason;
    } rows[] = {
        {"disk full", test::EntryKind::Ordinary, "There is not enough space on the disk.", false,
         "There is not enough space on the disk."},
        {"read-only folder", test::EntryKind::Ordinary, std::nullopt, true, "Access is denied."},
        {"locked", test::EntryKind::Locked, std::nullopt, false, test::kSharingViolation},
        {"a folder in the way", test::EntryKind::Directory, std::nullopt, false, "Access is denied."},
    };
    for (const auto& row : rows) {
        StoreBed bed;
        bed.files.Put(kPath, "STYLE=1\r\n", row.kind);
        bed.files.failReplace = row.failReplace;
        if (row.readOnly)
            bed.files.MakeReadOnlyFolder("C:\\Apps\\Bar");
        const std::optional<UserMessage> message = bed.store.Save(kStyle, {Edge::Top, Edge::Top, 3});
        ASSERT_TRUE(message.has_value()) << row.what;
        EXPECT_NE(message->text.find(kPath), std::string::npos) << row.what;
        EXPECT_NE(message->text.find(row.reason), std::string::npos) << row.what;
        EXPECT_NE(message->text.find("until the bar ends"), std::string::npos) << row.what;
        EXPECT_EQ(message->title, "Nimbrel");
        EXPECT_EQ(bed.Content(), "STYLE=1\r\n") << row.what;
        EXPECT_EQ(bed.files.writes, 0) << row.what;
        EXPECT_LE(bed.files.replaces, 1) << row.what;
    }
}

TEST(SettingsStore, UnknownFolderIsAFailureWithNothingTouched) {
    StoreBed bed;
    const std::optional<UserMessage> message = SettingsStore(bed.files, "").Save(kDock, {});
    ASSERT_TRUE(message.has_value());
    EXPECT_NE(message->text.find("not known"), std::string::npos);
    EXPECT_TRUE(bed.log.Entries().empty());
}

}  // namespace
}  // namespace nimbrel
