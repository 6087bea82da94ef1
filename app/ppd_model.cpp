// Reads the option choices of a PPD with libcups and keeps them per file, so that the
// drivers and every job of a printer share one read of the file.
#include "app/ppd_model.h"

#include <cups/ppd.h>

#include <cstdlib>
#include <memory>
#include <mutex>

const PpdOptionChoices* PpdModel::Find(const std::string& option) const {
  auto it = options.find(option);
  return it == options.end() ? nullptr : &it->second;
}

namespace {

bool ReadModel(const std::string& path, PpdModel* model, std::string* error) {
  ppd_file_t* ppd = ppdOpenFile(path.c_str());
  if (!ppd) {
    int line = 0;
    ppd_status_t status = ppdLastError(&line);
    *error = path + ": " + ppdErrorString(status) + " on line " + std::to_string(line);
    return false;
  }
  model->path = path;
  for (ppd_option_t* opt = ppdFirstOption(ppd); opt; opt = ppdNextOption(ppd)) {
    PpdOptionChoices& entry = model->options[opt->keyword];
    entry.defaultChoice = opt->defchoice;
    for (int i = 0; i < opt->num_choices; i++) entry.choices.push_back(opt->choices[i].choice);
  }
  if (ppd_attr_t* dpi = ppdFindAttr(ppd, "OutputDPI", nullptr); dpi && dpi->value)
    model->dpi = int(strtol(dpi->value, nullptr, 10));
  ppdClose(ppd);
  if (model->dpi <= 0) {
    *error = path + ": no OutputDPI keyword";
    return false;
  }
  return true;
}

}  // namespace

const PpdModel* LoadPpdModel(const std::string& path, std::string* error) {
  static std::mutex lock;
  static std::map<std::string, std::unique_ptr<PpdModel>> models;
  std::lock_guard<std::mutex> hold(lock);
  auto it = models.find(path);
  if (it != models.end()) return it->second.get();
  auto model = std::make_unique<PpdModel>();
  if (!ReadModel(path, model.get(), error)) return nullptr;
  return (models[path] = std::move(model)).get();
}
