// Stand-in for the configuration start-up of the utility library: the shell
// calls HNTAConfig::Initialize before every open of a repository.
#ifndef WQSQL_TERMINAL_HNTA_CONFIG_H_
#define WQSQL_TERMINAL_HNTA_CONFIG_H_

class HNTAConfig {
 public:
  // Safe to call any number of times.
  static void Initialize();
};

#endif  // WQSQL_TERMINAL_HNTA_CONFIG_H_
