#pragma once
// The reference individuals file (NAME.ref, written by velk import): the
// mixture format with a locus definition naming "ID", "POP" and the characters
// ("* characters" ... "* end"), then one record per reference individual: its
// ID, its population's number (1..np, control-file order) and its genotype
// fields, one digit per type. A character the definition does not name is not
// scored.
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"

namespace velk {

struct Run;

struct ReferenceFish {
  int count = 0;
  std::vector<std::string> id;
  Vec<int> pop;              // per individual: population 1..np
  Vec<int> line;             // per individual: its line in the file
  Arr3<std::int8_t> copies;  // (type, character, individual)
};

// Reads run.files.reference. Each bad record is error 2050 (line, what is
// wrong) and the file is read to its end, then fatal 3010; no file named: 3027;
// a file that cannot be opened: 3006; no locus definition naming "POP": 3051;
// copies of a type beyond its population's baseline count: error 2051; fields
// of the definition that are no character of the control file: error 2052; no
// record: error 2053. Out of memory: 3000.
void ReadReference(Run& run, ReferenceFish& fish);

}  // namespace velk
