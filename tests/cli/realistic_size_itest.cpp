// The built sayloom-cli on a data folder of the size users reach: it lists all thousand notes,
// shows and exports one, and recovers the six-hour note (whose silent chunks the engine never
// has to hear).
#include <nlohmann/json.hpp>

#include "app/app_model_fixture.h"
#include "core/iso_date.h"
#include "support/program_run.h"
#include "support/realistic_data_folder.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

class RealisticSizeCliTest : public AppModelTest {
protected:
  void SetUp() override { m_folder = &RealisticDataFolder::linkInto(root()); }

  static ProgramRun cli(const QStringList& arguments) {
    return runProgram(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom-cli"), arguments);
  }
  QString id(std::size_t i) const { return QString::fromStdString(m_folder->ids()[i]); }

  const RealisticDataFolder* m_folder = nullptr;
};

TEST_F(RealisticSizeCliTest, ListsShowsAndExports) {
  const ProgramRun listed = cli({"notes", "list"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.err, "");
  const QStringList lines = QString::fromStdString(listed.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(static_cast<std::size_t>(lines.size()), m_folder->ids().size());
  for (std::size_t i = 0; i < m_folder->ids().size(); ++i) {
    ASSERT_TRUE(lines[static_cast<int>(i)].startsWith(id(i) + QLatin1Char('\t'))) << i;
  }
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t06:00:00\t미완료\t") +
                                QString::fromUtf8(RealisticDataFolder::longNoteTitle)))
      << lines[1].toStdString();

  const ProgramRun listedJson = cli({"notes", "list", "--json"});
  ASSERT_EQ(listedJson.status, 0) << listedJson.err;
  EXPECT_EQ(json::parse(listedJson.out)["notes"].size(), m_folder->ids().size());

  const ProgramRun shown = cli({"notes", "show", id(640), "--json"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  const json note = json::parse(shown.out)["note"];
  EXPECT_EQ(note["title"], m_folder->titles()[640]);
  EXPECT_EQ(note["segments"].size(), std::size_t{RealisticDataFolder::entriesPerNote});

  const ProgramRun longShown = cli({"notes", "show", id(1)});
  ASSERT_EQ(longShown.status, 0) << longShown.err;
  EXPECT_NE(longShown.out.find("오디오: 2700개 조각, 06:00:00\n"), std::string::npos)
      << longShown.out.substr(0, 400);

  const fs::path exported = m_dir / "transcript.txt";
  const ProgramRun exportRun =
      cli({"export", "transcript", id(640), QString::fromStdString(exported.string())});
  ASSERT_EQ(exportRun.status, 0) << exportRun.err;
  const std::string text = readFile(exported);
  EXPECT_NE(text.find(RealisticDataFolder::entryText(m_folder->titles()[640], 0)), std::string::npos);
  EXPECT_NE(text.find(RealisticDataFolder::entryText(m_folder->titles()[640], 99)), std::string::npos);
}

TEST_F(RealisticSizeCliTest, RecoversTheSixHourNote) {
  installModel();
  const ProgramRun run = cli({"recover", id(1)});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::optional<NativeNote> recovered = LocalNoteStore(root()).load(m_folder->longNoteID());
  ASSERT_TRUE(recovered);
  EXPECT_TRUE(recovered->completed);
  EXPECT_DOUBLE_EQ(recovered->durationSeconds, RealisticDataFolder::longNoteChunks * 8.0);
  EXPECT_EQ(engineRuns(), 0) << "silence never reaches the engine";

  const ProgramRun listed = cli({"notes", "list"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find(m_folder->longNoteID() + "\t"), std::string::npos);
  EXPECT_NE(listed.out.find("\t06:00:00\t완료\t" + std::string(RealisticDataFolder::longNoteTitle)),
            std::string::npos);
}

}  // namespace
}  // namespace sayloom::test
