#include "kalder/pipeline.h"

namespace dendro {

void process_data_file(Run& run) { (void)run; }

}  // namespace dendro
