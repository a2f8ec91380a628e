// The whole store library: reading, writing, results and the version.
#ifndef WQSTORE_WQSTORE_H_
#define WQSTORE_WQSTORE_H_

#include "wqstore/repository.h"
#include "wqstore/result.h"
#include "wqstore/version.h"
#include "wqstore/writer.h"

#endif  // WQSTORE_WQSTORE_H_
