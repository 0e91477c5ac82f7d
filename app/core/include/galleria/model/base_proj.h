#pragma once
// A model object that is a document of its own: saved to and loaded from one XML file.

#include <filesystem>
#include <string>

#include "galleria/model/proj_obj.h"

namespace galleria {

class TBaseProj : public TProjObj {
 public:
  // The file last loaded or saved; empty for a new project.
  const std::filesystem::path& FileName() const { return fileName_; }
  // The version stamp read from or written to the file.
  const std::string& ProjVersion() const { return projVersion_; }

  // Writes the project to `file` (creating missing folders), then remembers it as FileName.
  // Leaves Changed alone. Throws GalleriaError when the file cannot be written; an existing file
  // is then left as it was.
  void SaveAs(const std::filesystem::path& file);
  // SaveAs(FileName()) when there is a file name; nothing otherwise.
  void Save();
  // Fills the project from `file`, then remembers it and clears Changed. Throws GalleriaError for
  // a file that cannot be read or is not well-formed XML (the project is then untouched) and for
  // a value that is not one of its type's names (values read before it are kept).
  void LoadFromFile(const std::filesystem::path& file);

  void Assign(const TProjObj& source) override;

 protected:
  explicit TBaseProj(std::string projName) : TProjObj(nullptr), ProjName(std::move(projName)) {}
  virtual void DoSaveAs(const std::filesystem::path& file);
  virtual void AfterSave() {}
  virtual void DoLoadFromFile(const std::filesystem::path& file);
  virtual void AfterLoad() {}

  // The name of the file's root element.
  std::string ProjName;

 private:
  std::filesystem::path fileName_;
  std::string projVersion_;
};

}  // namespace galleria
