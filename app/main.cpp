#include "app/Startup.h"
#include "settings/SettingsStore.h"

// Kelvaro as shipped: the real search service and the user's own settings store.
int main(int argc, char** argv) {
  kelvaro::SettingsStore store(kelvaro::DefaultSettingsLocation());
  kelvaro::MainFormEnvironment environment;
  environment.store = &store;
  return kelvaro::RunKelvaro(argc, argv, environment);
}
