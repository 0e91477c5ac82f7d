#pragma once
// The gallery project: photos, template and display options, music clips and output settings.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "galleria/model/base_proj.h"

namespace galleria {

// One photo. MD5O and CRTS are the offset and size of its piece in the published movie's data.
class TImageObj final : public TProjObj {
 public:
  explicit TImageObj(TModelNode* owner = nullptr) : TProjObj(owner) {}
  std::string_view ClassName() const override { return "TImageObj"; }
  PropertyList Properties() const override;
  std::unique_ptr<TProjObj> NewInstance(TModelNode* owner) const override {
    return std::make_unique<TImageObj>(owner);
  }

  std::int32_t ID() const { return FID; }
  const std::string& SrcFile() const { return FSrcFile; }
  const std::string& ThumbFile() const { return FThumbFile; }
  const std::string& EditFile() const { return FEditFile; }
  const std::string& OutFile() const { return FOutFile; }
  const std::string& Description() const { return FDescription; }
  const std::string& URL() const { return FURL; }
  TWindowType URLType() const { return FURLType; }
  bool ISEdit() const { return FISEdit; }
  const std::string& Caption() const { return FCaption; }
  double ModifyTime() const { return FModifyTime; }
  double CreateTime() const { return FCreateTime; }
  std::int64_t FileSize() const { return FFileSize; }
  std::int64_t MD5O() const { return FMD5O; }
  std::int64_t CRTS() const { return FCRTS; }

  void SetID(std::int32_t v) { Store(FID, v); }
  void SetSrcFile(const std::string& v) { Store(FSrcFile, v); }
  void SetThumbFile(const std::string& v) { Store(FThumbFile, v); }
  void SetEditFile(const std::string& v) { Store(FEditFile, v); }
  void SetOutFile(const std::string& v) { Store(FOutFile, v); }
  void SetDescription(const std::string& v) { Store(FDescription, v); }
  void SetURL(const std::string& v) { Store(FURL, v); }
  void SetURLType(TWindowType v) { Store(FURLType, v); }
  void SetISEdit(bool v) { Store(FISEdit, v); }
  void SetCaption(const std::string& v) { Store(FCaption, v); }
  void SetModifyTime(double v) { Store(FModifyTime, v); }
  void SetCreateTime(double v) { Store(FCreateTime, v); }
  void SetFileSize(std::int64_t v) { Store(FFileSize, v); }
  void SetMD5O(std::int64_t v) { Store(FMD5O, v); }
  void SetCRTS(std::int64_t v) { Store(FCRTS, v); }

 private:
  std::int32_t FID = 0;
  std::string FSrcFile, FThumbFile, FEditFile, FOutFile, FDescription, FURL;
  TWindowType FURLType = TWindowType::st_new;
  bool FISEdit = false;
  std::string FCaption;
  double FModifyTime = 0, FCreateTime = 0;
  std::int64_t FFileSize = 0, FMD5O = 0, FCRTS = 0;
};

// One music clip; times in whole seconds.
class TAudio final : public TProjObj {
 public:
  explicit TAudio(TModelNode* owner = nullptr) : TProjObj(owner) {}
  std::string_view ClassName() const override { return "TAudio"; }
  PropertyList Properties() const override;
  std::unique_ptr<TProjObj> NewInstance(TModelNode* owner) const override {
    return std::make_unique<TAudio>(owner);
  }

  std::int32_t ID() const { return FID; }
  const std::string& FileName() const { return FFileName; }
  std::int64_t BeginTime() const { return FBeginTime; }
  std::int64_t EndTime() const { return FEndTime; }
  std::int64_t Length() const { return FLength; }
  bool bFadeIn() const { return FbFadeIn; }
  bool FadeOut() const { return FFadeOut; }

  void SetID(std::int32_t v) { Store(FID, v); }
  void SetFileName(const std::string& v) { Store(FFileName, v); }
  void SetBeginTime(std::int64_t v) { Store(FBeginTime, v); }
  void SetEndTime(std::int64_t v) { Store(FEndTime, v); }
  void SetLength(std::int64_t v) { Store(FLength, v); }
  void SetbFadeIn(bool v) { Store(FbFadeIn, v); }
  void SetFadeOut(bool v) { Store(FFadeOut, v); }

 private:
  std::int32_t FID = 0;
  std::string FFileName;
  std::int64_t FBeginTime = 0, FEndTime = 0, FLength = 0;
  bool FbFadeIn = false, FFadeOut = false;
};

// The chosen template and its display options.
class TTemplate final : public TProjObj {
 public:
  explicit TTemplate(TModelNode* owner = nullptr) : TProjObj(owner) {}
  std::string_view ClassName() const override { return "TTemplate"; }
  PropertyList Properties() const override;
  std::unique_ptr<TProjObj> NewInstance(TModelNode* owner) const override {
    return std::make_unique<TTemplate>(owner);
  }

  std::int32_t TemplateID() const { return FTemplateID; }
  const std::string& TemplateName() const { return FTemplateName; }
  const std::string& TemplateType() const { return FTemplateType; }
  std::int32_t TemplateIndex() const { return FTemplateIndex; }
  bool UseFrame() const { return FUseFrame; }
  std::int32_t BgColor() const { return FBgColor; }
  const std::string& BgImage() const { return FBgImage; }
  const std::string& ThumbImg() const { return FThumbImg; }
  std::uint32_t MD5O() const { return FMD5O; }
  std::uint32_t CRTS() const { return FCRTS; }
  std::uint32_t SelectOffset() const { return FSelectOffset; }
  std::uint32_t SelectSize() const { return FSelectSize; }
  std::uint32_t ImgOffset() const { return FImgOffset; }
  std::uint32_t ImgSize() const { return FImgSize; }
  TDragType DragType() const { return FDragType; }
  bool UseLight() const { return FUseLight; }
  bool UseFill() const { return FUseFill; }
  std::int32_t AutoDelay() const { return FAutoDelay; }
  bool UseBgImage() const { return FUseBgImage; }
  bool AutoPlay() const { return FAutoPlay; }
  bool AutoLoop() const { return FAutoLoop; }
  bool FullPlay() const { return FFullPlay; }
  bool mousedrag() const { return Fmousedrag; }
  bool autocursor() const { return Fautocursor; }
  bool autoscroll() const { return Fautoscroll; }
  bool usespotlight() const { return Fusespotlight; }
  bool UseBgColor() const { return FUseBgColor; }
  const std::string& ShowModel() const { return FShowModel; }

  void SetTemplateID(std::int32_t v) { Store(FTemplateID, v); }
  void SetTemplateName(const std::string& v) { Store(FTemplateName, v); }
  void SetTemplateType(const std::string& v) { Store(FTemplateType, v); }
  void SetTemplateIndex(std::int32_t v) { Store(FTemplateIndex, v); }
  void SetUseFrame(bool v) { Store(FUseFrame, v); }
  void SetBgColor(std::int32_t v) { Store(FBgColor, v); }
  void SetBgImage(const std::string& v) { Store(FBgImage, v); }
  void SetThumbImg(const std::string& v) { Store(FThumbImg, v); }
  void SetMD5O(std::uint32_t v) { Store(FMD5O, v); }
  void SetCRTS(std::uint32_t v) { Store(FCRTS, v); }
  void SetSelectOffset(std::uint32_t v) { Store(FSelectOffset, v); }
  void SetSelectSize(std::uint32_t v) { Store(FSelectSize, v); }
  void SetImgOffset(std::uint32_t v) { Store(FImgOffset, v); }
  void SetImgSize(std::uint32_t v) { Store(FImgSize, v); }
  void SetDragType(TDragType v) { Store(FDragType, v); }
  void SetUseLight(bool v) { Store(FUseLight, v); }
  void SetUseFill(bool v) { Store(FUseFill, v); }
  void SetAutoDelay(std::int32_t v) { Store(FAutoDelay, v); }
  void SetUseBgImage(bool v) { Store(FUseBgImage, v); }
  void SetAutoPlay(bool v) { Store(FAutoPlay, v); }
  void SetAutoLoop(bool v) { Store(FAutoLoop, v); }
  void SetFullPlay(bool v) { Store(FFullPlay, v); }
  void Setmousedrag(bool v) { Store(Fmousedrag, v); }
  void Setautocursor(bool v) { Store(Fautocursor, v); }
  void Setautoscroll(bool v) { Store(Fautoscroll, v); }
  void Setusespotlight(bool v) { Store(Fusespotlight, v); }
  void SetUseBgColor(bool v) { Store(FUseBgColor, v); }
  // Set by the publish dialogs for each publish; not a user's edit.
  void SetShowModel(const std::string& v) { StoreQuietly(FShowModel, v); }

 private:
  std::int32_t FTemplateID = 0;
  std::string FTemplateName, FTemplateType;
  std::int32_t FTemplateIndex = 0;
  bool FUseFrame = false;
  std::int32_t FBgColor = 0;
  std::string FBgImage, FThumbImg;
  std::uint32_t FMD5O = 0, FCRTS = 0, FSelectOffset = 0, FSelectSize = 0, FImgOffset = 0,
                FImgSize = 0;
  TDragType FDragType = TDragType::st_Auto;
  bool FUseLight = false, FUseFill = false;
  std::int32_t FAutoDelay = 0;
  bool FUseBgImage = false, FAutoPlay = false, FAutoLoop = false, FFullPlay = false;
  bool Fmousedrag = false, Fautocursor = false, Fautoscroll = false, Fusespotlight = false;
  bool FUseBgColor = false;
  std::string FShowModel;
};

// Output settings. The setters that publishing and the publish dialogs use to record their
// choices store without marking the project changed.
class TSeting final : public TProjObj {
 public:
  explicit TSeting(TModelNode* owner = nullptr) : TProjObj(owner) {}
  std::string_view ClassName() const override { return "TSeting"; }
  PropertyList Properties() const override;
  std::unique_ptr<TProjObj> NewInstance(TModelNode* owner) const override {
    return std::make_unique<TSeting>(owner);
  }

  std::int32_t Width() const { return FWidth; }
  std::int32_t Height() const { return FHeight; }
  std::int32_t ImgWidth() const { return FImgWidth; }
  std::int32_t ImgHeight() const { return FImgHeight; }
  std::int32_t FrameRate() const { return FFrameRate; }
  std::int32_t ImgQuality() const { return FImgQuality; }
  const std::string& EndURL() const { return FEndURL; }
  const std::string& OutPut() const { return FOutPut; }
  std::int64_t MD5O() const { return FMD5O; }
  std::int64_t CRTS() const { return FCRTS; }
  bool UseMusic() const { return FUseMusic; }
  TOutType OutType() const { return FOutType; }
  bool MusicLoop() const { return FMusicLoop; }

  void SetWidth(std::int32_t v) { Store(FWidth, v); }
  void SetHeight(std::int32_t v) { Store(FHeight, v); }
  void SetImgWidth(std::int32_t v) { Store(FImgWidth, v); }
  void SetImgHeight(std::int32_t v) { StoreQuietly(FImgHeight, v); }
  void SetFrameRate(std::int32_t v) { StoreQuietly(FFrameRate, v); }
  void SetImgQuality(std::int32_t v) { StoreQuietly(FImgQuality, v); }
  void SetEndURL(const std::string& v) { StoreQuietly(FEndURL, v); }
  void SetOutPut(const std::string& v) { StoreQuietly(FOutPut, v); }
  void SetMD5O(std::int64_t v) { Store(FMD5O, v); }
  void SetCRTS(std::int64_t v) { Store(FCRTS, v); }
  void SetUseMusic(bool v) { StoreQuietly(FUseMusic, v); }
  void SetOutType(TOutType v) { StoreQuietly(FOutType, v); }
  void SetMusicLoop(bool v) { Store(FMusicLoop, v); }

 private:
  std::int32_t FWidth = 0, FHeight = 0, FImgWidth = 0, FImgHeight = 0, FFrameRate = 0,
               FImgQuality = 0;
  std::string FEndURL, FOutPut;
  std::int64_t FMD5O = 0, FCRTS = 0;
  bool FUseMusic = false;
  TOutType FOutType = TOutType::st_169;
  bool FMusicLoop = false;
};

class TImageObjList final : public TTypedObjList<TImageObj> {
 public:
  explicit TImageObjList(TModelNode* owner = nullptr) : TTypedObjList(owner) {}
  std::string_view ClassName() const override { return "TImageObjList"; }
};

class TAudioList final : public TTypedObjList<TAudio> {
 public:
  explicit TAudioList(TModelNode* owner = nullptr) : TTypedObjList(owner) {}
  std::string_view ClassName() const override { return "TAudioList"; }
};

// The gallery project. One lives for the whole run and is reused for every new or opened one.
class TProjItem final : public TBaseProj {
 public:
  TProjItem();
  std::string_view ClassName() const override { return "TProjItem"; }
  PropertyList Properties() const override;
  std::unique_ptr<TProjObj> NewInstance(TModelNode*) const override {
    return std::make_unique<TProjItem>();
  }
  void Assign(const TProjObj& source) override;

  TImageObjList& Images() const { return *FImages; }
  TTemplate& Template() const { return *FTemplate; }
  TAudioList& Audios() const { return *FAudios; }
  TSeting& Seting() const { return *FSeting; }

  // The current publish: set by the publish dialogs, read by the publish pipeline.
  std::string ExportFile;
  PUBLISH_TYPE ExportType = PUBLISH_TYPE::ET_SWF;
  void* MsgHandle = nullptr;  // the window that receives publish progress
  // Set by the progress window, polled by the publishing thread.
  std::atomic<bool> CalcelBuild = false;

 private:
  // Created with the project and never replaced, only changed.
  std::unique_ptr<TImageObjList> FImages;
  std::unique_ptr<TTemplate> FTemplate;
  std::unique_ptr<TAudioList> FAudios;
  std::unique_ptr<TSeting> FSeting;
};

// The settings of a new project (the template catalogue's first entry is filled in by the caller).
void ApplyNewProjectDefaults(TProjItem& project);

}  // namespace galleria
