// Stand-in for the configuration start-up of the utility library: the shell
// calls HNTAConfig::Initialize before every open of a repository.
#ifndef WQSQL_PLATFORM_HNTA_CONFIG_H_
#define WQSQL_PLATFORM_HNTA_CONFIG_H_

class HNTAConfig {
 public:
  // Idempotent: the first call does the set-up, later calls do nothing.
  static void Initialize();
  static bool IsInitialized();
};

#endif  // WQSQL_PLATFORM_HNTA_CONFIG_H_
