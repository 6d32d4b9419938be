#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "integrations/AccelMapFile.h"
#include "integrations/CajaEntries.h"
#include "integrations/DolphinEntries.h"
#include "integrations/EntryFiles.h"
#include "integrations/FileManagerEntries.h"
#include "integrations/NautilusEntries.h"
#include "integrations/NemoEntries.h"
#include "integrations/PcmanfmQtEntries.h"
#include "integrations/ThunarEntries.h"

namespace ferrymark {
namespace {
namespace fs = std::filesystem;

// A user's own files, as each file manager keeps them, next to which ours must go.
const std::map<std::string, std::string> kUsersFiles = {
    {".config/Thunar/uca.xml",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<icon>utilities-"
     "terminal</icon>\n\t<name>Open Terminal Here</name>\n\t<unique-id>1700000000000001-1</"
     "unique-id>\n\t<command>exo-open --working-directory %f --launch TerminalEmulator</"
     "command>\n\t<description>Example for a custom action</description>\n\t<patterns>*</"
     "patterns>\n\t<startup-notify/>\n\t<directories/>\n</action>\n</actions>"},  // no newline
    {".config/Thunar/accels.scm",
     "; thunar GtkAccelMap rc-file         -*- scheme -*-\n; (gtk_accel_path "
     "\"<Actions>/ThunarWindow/close-tab\" \"<Primary>w\")\n(gtk_accel_path "
     "\"<Actions>/ThunarActions/uca-action-1700000000000001-1\" \"<Primary><Alt>m\")\n"},
    {".config/nautilus/scripts-accels", "F12 Compress\n<Primary><Alt>v Resize Images"},
    {".local/share/nautilus/scripts/Compress", "#!/bin/sh\nzip -r out.zip \"$@\"\n"},
    {".local/share/nemo/actions/mine.nemo_action", "[Nemo Action]\nName=Mine\nExec=true\n"},
    {".config/caja/scripts/Move Here with Ferrymark", "#!/bin/sh\n# the user's own\n"},
    {".config/caja/accels",
     "; caja GtkAccelMap rc-file         -*- scheme -*-\n(gtk_accel_path "
     "\"<Actions>/DirViewActions/Trash\" \"<Primary><Alt>t\")\n"},
    {".gnome2/accels/nemo",
     "; (gtk_accel_path \"<Actions>/DirViewActions/Paste\" \"<Primary>v\")\n(gtk_accel_path "
     "\"<Actions>/ScriptsGroup/script_file:\\\\s\\\\sx\" \"F7\")"},  // no newline
    {".local/share/kio/servicemenus/other.desktop", "[Desktop Entry]\nType=Service\n"},
    {".local/share/file-manager/actions/other.desktop", "[Desktop Entry]\nType=Action\n"},
};

using Tree = std::map<std::string, std::pair<std::string, fs::perms>>;

class FileManagerEntriesTest : public ::testing::Test {
  protected:
    FileManagerEntriesTest() {
        char pattern[] = "/tmp/ferrymark-entries-XXXXXX";
        home_ = mkdtemp(pattern);
        options_.home = home_;
        options_.program = "/opt/my apps/ferrymark";
        options_.pasteLabel = "Paste Here with Ferrymark";
        options_.moveLabel = "Move Here with Ferrymark";
        options_.pasteKey = "<Primary><Alt>v";
        options_.moveKey = "<Primary><Alt>m";
        options_.searchPath = {home_ / "bin"};
    }
    ~FileManagerEntriesTest() override { fs::remove_all(home_); }

    void putUsersFiles() {
        for (const auto& [path, bytes] : kUsersFiles) {
            fs::create_directories((home_ / path).parent_path());
            std::ofstream(home_ / path, std::ios::binary) << bytes;
        }
        fs::permissions(home_ / ".local/share/nautilus/scripts/Compress", fs::perms::owner_all);
    }

    Tree tree() const {
        Tree out;
        for (const auto& entry : fs::recursive_directory_iterator(home_)) {
            if (entry.is_regular_file()) {
                out[fs::relative(entry.path(), home_).string()] = {
                    EntryFiles::read(entry.path()).value_or("?"), entry.status().permissions()};
            }
        }
        return out;
    }

    std::string file(const std::string& path) const {
        return EntryFiles::read(home_ / path).value_or("");
    }

    fs::path home_;
    IFileManagerEntries::Options options_;
};

struct Writer {
    std::unique_ptr<IFileManagerEntries> (*make)();
    // Files that hold our entries once added, and what each must contain.
    std::vector<std::pair<std::string, std::string>> added;
};

template <typename T>
std::unique_ptr<IFileManagerEntries> make() {
    return std::make_unique<T>();
}

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all = {
        {make<NautilusEntries>,
         {{".local/share/nautilus/scripts/Paste Here with Ferrymark",
           "exec '/opt/my apps/ferrymark' --paste \"$NAUTILUS_SCRIPT_CURRENT_URI\""},
          {".local/share/nautilus/scripts/Move Here with Ferrymark", "--move"},
          {".config/nautilus/scripts-accels", "<Primary><Alt>m Move Here with Ferrymark\n"}}},
        {make<ThunarEntries>,
         {{".config/Thunar/uca.xml",
           "<unique-id>ferrymark-paste</unique-id>\n\t<command>'/opt/my apps/ferrymark' --paste "
           "%f</command>"},
          {".config/Thunar/uca.xml", "<unique-id>ferrymark-move</unique-id>"},
          {".config/Thunar/accels.scm",
           "(gtk_accel_path \"<Actions>/ThunarActions/uca-action-ferrymark-paste\" "
           "\"<Primary><Alt>v\")\n"}}},
        {make<NemoEntries>,
         {{".local/share/nemo/actions/ferrymark-paste.nemo_action",
           "Exec='/opt/my apps/ferrymark' --paste %P\n"},
          {".local/share/nemo/actions/ferrymark-move.nemo_action", "Selection=None\n"},
          {".local/share/nemo/scripts/Move Here with Ferrymark",
           "--move \"$NEMO_SCRIPT_CURRENT_URI\""},
          {".gnome2/accels/nemo",
           "\\\\snemo\\\\sscripts\\\\sMove%20Here%20with%20Ferrymark\" \"<Primary><Alt>m\")\n"}}},
        {make<CajaEntries>,
         {{".config/caja/scripts/Paste Here with Ferrymark",
           "--paste \"$CAJA_SCRIPT_CURRENT_URI\""},
          {".config/caja/accels",
           "\\\\scaja\\\\sscripts\\\\sPaste%20Here%20with%20Ferrymark\" \"<Primary><Alt>v\")\n"}}},
        {make<DolphinEntries>,
         {{".local/share/kio/servicemenus/ferrymark.desktop",
           "Exec=\"/opt/my apps/ferrymark\" --paste %f\n"},
          {".local/share/kio/servicemenus/ferrymark.desktop", "MimeType=inode/directory;\n"}}},
        {make<PcmanfmQtEntries>,
         {{".local/share/file-manager/actions/ferrymark-paste.desktop",
           "Exec=\"/opt/my apps/ferrymark\" --paste %f\n"},
          {".local/share/file-manager/actions/ferrymark-move.desktop", "Type=Action\n"}}},
    };
    return all;
}

// On top of a user's own files: the entries are there, nothing of the user's changed, a
// second add changes nothing, and remove gives back exactly what was there.
TEST_F(FileManagerEntriesTest, AddAndRemoveLeaveTheUsersFilesAsTheyWere) {
    putUsersFiles();
    const Tree before = tree();
    for (const Writer& w : writers()) {
        auto writer = w.make();
        SCOPED_TRACE(std::string(writer->name()));
        const auto added = writer->add(options_);
        EXPECT_TRUE(added.ok);
        for (const auto& [path, text] : w.added) {
            EXPECT_NE(file(path).find(text), std::string::npos) << path << ":\n" << file(path);
        }
        const Tree once = tree();
        writer->add(options_);
        EXPECT_EQ(tree(), once) << "a second add changed something";
        // Every file of the user's is unchanged, or only gained lines and elements.
        for (const auto& [path, entry] : before) {
            const std::string now = file(path);
            EXPECT_EQ(once.at(path).second, entry.second) << path;
            for (const auto line : EntryFiles::lines(entry.first)) {
                EXPECT_NE(now.find(line), std::string::npos) << path << " lost: " << line;
            }
        }
        EXPECT_TRUE(writer->remove(options_).ok);
        EXPECT_EQ(tree(), before) << "remove did not give back the user's files byte for byte";
    }
}

// Into an empty home: the entries come, and remove leaves no file behind.
TEST_F(FileManagerEntriesTest, RemoveAfterAddIntoAnEmptyHomeLeavesNothing) {
    for (const Writer& w : writers()) {
        auto writer = w.make();
        SCOPED_TRACE(std::string(writer->name()));
        EXPECT_TRUE(writer->add(options_).ok);
        for (const auto& [path, text] : w.added) {
            EXPECT_NE(file(path).find(text), std::string::npos) << path;
        }
        EXPECT_TRUE(writer->remove(options_).ok);
        EXPECT_TRUE(tree().empty()) << tree().begin()->first;
    }
}

// Keys are offered, never forced: a key the user bound to something else, or an action
// that already has a key, gets none from us, and the user's lines stay.
TEST(FileManagerKeysTest, AKeyOrActionAlreadyBoundGetsNoKey) {
    struct Case {
        const char* name;
        std::unique_ptr<IFileManagerEntries> (*make)();
        const char* accels;
        const char* existing;
        const char* ours;  // must not be added
    };
    const Case cases[] = {
        {"Nautilus key taken", make<NautilusEntries>, ".config/nautilus/scripts-accels",
         "<Primary><Alt>v Resize Images\n", "<Primary><Alt>v Paste Here with Ferrymark"},
        {"Nautilus script has a key", make<NautilusEntries>, ".config/nautilus/scripts-accels",
         "F9 Paste Here with Ferrymark\n", "<Primary><Alt>v Paste Here with Ferrymark"},
        {"Thunar key taken", make<ThunarEntries>, ".config/Thunar/accels.scm",
         "(gtk_accel_path \"<Actions>/ThunarStandardView/x\" \"<Primary><Alt>v\")\n",
         "uca-action-ferrymark-paste\" \"<Primary><Alt>v\""},
        {"Thunar action has a key", make<ThunarEntries>, ".config/Thunar/accels.scm",
         "(gtk_accel_path \"<Actions>/ThunarActions/uca-action-ferrymark-paste\" \"F9\")\n",
         "uca-action-ferrymark-paste\" \"<Primary><Alt>v\""},
        {"Caja key taken", make<CajaEntries>, ".config/caja/accels",
         "(gtk_accel_path \"<Actions>/DirViewActions/Trash\" \"<Primary><Alt>v\")\n",
         "Ferrymark\" \"<Primary><Alt>v\""},
        {"Nemo key taken", make<NemoEntries>, ".gnome2/accels/nemo",
         "(gtk_accel_path \"<Actions>/ScriptsGroup/script_file:\\\\s\\\\sx\" "
         "\"<Primary><Alt>v\")\n",
         "Ferrymark\" \"<Primary><Alt>v\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char pattern[] = "/tmp/ferrymark-keys-XXXXXX";
        const fs::path home = mkdtemp(pattern);
        fs::create_directories((home / c.accels).parent_path());
        std::ofstream(home / c.accels) << c.existing;
        IFileManagerEntries::Options options{home,
                                             "ferrymark",
                                             "Paste Here with Ferrymark",
                                             "Move Here with Ferrymark",
                                             "<Primary><Alt>v",
                                             "",
                                             {}};
        auto writer = c.make();
        const auto result = writer->add(options);
        const std::string text = EntryFiles::read(home / c.accels).value_or("");
        EXPECT_EQ(text.find(c.ours), std::string::npos) << text;
        EXPECT_NE(text.find(c.existing), std::string::npos) << text;
        EXPECT_FALSE(result.notes.empty()) << "the user is not told why no key was added";
        writer->remove(options);
        EXPECT_EQ(EntryFiles::read(home / c.accels).value_or(""), c.existing);
        fs::remove_all(home);
    }
}

// Thunar rewrites uca.xml in its own layout when the user edits actions: our action is
// still found by its id and taken out whole, with nothing of the user's.
TEST_F(FileManagerEntriesTest, ThunarActionIsRemovedAfterThunarRewroteTheFile) {
    const std::string users =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Mine</name>\n"
        "\t<unique-id>1-1</unique-id>\n</action>\n";
    const std::string rewritten = users +
                                  "  <action>\n    <name>Paste Here with Ferrymark</name>\n    "
                                  "<unique-id>ferrymark-paste</unique-id>\n  </action>\n"
                                  "</actions>\n";
    fs::create_directories(home_ / ".config/Thunar");
    std::ofstream(home_ / ".config/Thunar/uca.xml") << rewritten;
    ThunarEntries().remove(options_);
    EXPECT_EQ(file(".config/Thunar/uca.xml"), users + "</actions>\n");
}

// A script of the user's under our name keeps its name and gets no key of ours.
TEST_F(FileManagerEntriesTest, NoKeyIsBoundToAScriptOfTheUsers) {
    putUsersFiles();
    CajaEntries caja;
    caja.add(options_);
    EXPECT_NE(file(".config/caja/accels").find("Paste%20Here"), std::string::npos);
    EXPECT_EQ(file(".config/caja/accels").find("Move%20Here"), std::string::npos);
    EXPECT_EQ(file(".config/caja/scripts/Move Here with Ferrymark"),
              kUsersFiles.at(".config/caja/scripts/Move Here with Ferrymark"));
}

// GTK file managers bind a script under its file URI with "/" written "\\s"; the map
// file quotes backslashes once more.
TEST(AccelMapFileTest, ScriptPathsAndLines) {
    struct Case {
        const char* script;
        const char* accelPath;
    };
    const Case cases[] = {
        {"/h/.config/caja/scripts/Paste Here",
         "<Actions>/ScriptsGroup/script_file:\\s\\s\\sh\\s.config\\scaja\\sscripts\\sPaste%20Here"},
        {"/h/Tom & Jerry/50%/ü",
         "<Actions>/ScriptsGroup/script_file:\\s\\s\\sh\\sTom%20\\a%20Jerry\\s50%25\\s%C3%BC"},
        {"/h/a\"b#c", "<Actions>/ScriptsGroup/script_file:\\s\\s\\sh\\sa%22b%23c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AccelMapFile::scriptAccelPath(c.script), c.accelPath);
    }
    EXPECT_EQ(AccelMapFile::line({"<A>/x\\s\"", "F7", ""}),
              "(gtk_accel_path \"<A>/x\\\\s\\\"\" \"F7\")");
}

TEST(FileManagerEntriesListTest, SixFileManagersEachFoundByItsProgram) {
    char pattern[] = "/tmp/ferrymark-bin-XXXXXX";
    const fs::path bin = mkdtemp(pattern);
    IFileManagerEntries::Options options;
    options.searchPath = {bin};
    const auto all = FileManagerEntries::all();
    ASSERT_EQ(all.size(), 6u);
    for (const auto& writer : all) {
        EXPECT_FALSE(writer->isInstalled(options)) << writer->name();
    }
    for (const char* program : {"nautilus", "thunar", "nemo", "caja", "dolphin", "pcmanfm-qt"}) {
        std::ofstream(bin / program) << "#!/bin/sh\n";
        fs::permissions(bin / program, fs::perms::owner_all);
    }
    for (const auto& writer : all) {
        EXPECT_TRUE(writer->isInstalled(options)) << writer->name();
    }
    fs::remove_all(bin);
}

TEST(EntryFilesTest, QuotingForShellExecAndXml) {
    struct Case {
        const char* word;
        const char* shell;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/ferrymark", "/usr/bin/ferrymark", "/usr/bin/ferrymark"},
        {"/opt/a b", "'/opt/a b'", "\"/opt/a b\""},
        {"/o'k/$x", "'/o'\\''k/$x'", "\"/o'k/\\$x\""},
        {"/100%", "'/100%'", "\"/100%%\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EntryFiles::shellQuoted(c.word), c.shell);
        EXPECT_EQ(EntryFiles::execQuoted(c.word), c.exec);
    }
    EXPECT_EQ(EntryFiles::xmlEscaped("a&<b>\""), "a&amp;&lt;b&gt;&quot;");
}

}  // namespace
}  // namespace ferrymark
