// The printer-option vocabulary of one PPD of the family, read once per model: every
// option's choice names and default, so the IPP attributes follow the PPD as it changes.
#pragma once

#include <map>
#include <string>
#include <vector>

struct PpdOptionChoices {
  std::vector<std::string> choices;  // choice names in PPD order
  std::string defaultChoice;
};

struct PpdModel {
  std::string path;
  std::map<std::string, PpdOptionChoices> options;  // keyed by the PPD option keyword
  int dpi = 0;                                      // the model's "OutputDPI"

  const PpdOptionChoices* Find(const std::string& option) const;
};

// The model of the PPD at `path`, read on first use and kept for the process; null (with
// `error` set) when the file cannot be read as a PPD.
const PpdModel* LoadPpdModel(const std::string& path, std::string* error);
