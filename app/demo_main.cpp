// kelvaro-demo: Kelvaro wired to the substitute search service inside the process, with a
// settings store and an answer store of its own in a temporary folder, so every feature can be
// tried without an API key or a network. Its numbers are invented, and its caption says so. It
// starts on Google Custom Search; the substitute answers SerpApi's requests on the same address
// too, so choosing SerpApi in Settings works the same way and shows keyword ideas (related
// searches, questions and autocomplete suggestions). It also answers the volume service,
// so the demo shows monthly searches and the Keyword Golden Ratio. DataForSEO is there too,
// with its login and password filled in: its tasks are ready ten seconds after they are
// posted, and the demo account holds 50 dollars.
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/Startup.h"
#include "base/ApiCredentials.h"
#include "settings/SettingsStore.h"
#include "tools/SubstituteSearchServer.h"

namespace {

// A fresh folder for the demo's settings and answers, removed when the demo ends.
class DemoFolder {
 public:
  DemoFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("kelvaro-demo-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~DemoFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace

int main(int argc, char** argv) {
  kelvaro::searchsim::SubstituteSearchServer service;
  // Keys a user can type in Settings to see the limits: an "hour" of 20 seconds with room for
  // 6 searches, and an account with 4 searches left in all.
  kelvaro::searchsim::Account hourly;
  hourly.hourly_limit = 6;
  hourly.hour = std::chrono::seconds(20);
  service.SetAccount("demo-hourly", hourly);
  kelvaro::searchsim::Account spent;
  spent.monthly_allowance = 4;
  service.SetAccount("demo-spent", spent);
  DemoFolder folder;
  kelvaro::SettingsStore store(folder.File("Settings.reg"));
  // A volume key and a rank key too, so the demo shows the Volume and KGR columns and Deep
  // Analysis its Domain Rank column.
  kelvaro::Credentials settings{"demo-key", "demo-cx", "", "", "demo-volume-key", "us",
                                "demo-rank-key"};
  settings.dfs_login = "demo-login";
  settings.dfs_password = "demo-password";
  store.SaveSettings(settings, /*with_volume=*/true);
  service.SetTaskQueueDelay(std::chrono::seconds(10));
  // Four searches at once, each answered after a moment as a real service would: the grid
  // fills row by row all the same.
  store.SaveSearchesAtOnce(4);
  service.SetAnswerDelay(std::chrono::milliseconds(300));

  kelvaro::MainFormEnvironment environment;
  environment.store = &store;
  environment.caption = QStringLiteral("Kelvaro (offline demo)");
  environment.initial_keywords =
      "niche trail running shoes\ncommon garden tools\npopular phone cases\nfew results here";
  // The demo's answers stay in its own folder and go with it.
  return kelvaro::RunKelvaro(argc, argv, environment, service.Endpoint(),
                             folder.File("answers.sqlite"));
}
