#include "galleria/model/gallery.h"

#include <array>

#include "model/property_builders.h"

namespace galleria {

using detail::Owned;
using detail::Value;

PropertyList TImageObj::Properties() const {
  using C = TImageObj;
  static constexpr std::array kProperties{
      Value<&C::FID, &C::SetID>("ID"),
      Value<&C::FSrcFile, &C::SetSrcFile>("SrcFile"),
      Value<&C::FThumbFile, &C::SetThumbFile>("ThumbFile"),
      Value<&C::FEditFile, &C::SetEditFile>("EditFile"),
      Value<&C::FOutFile, &C::SetOutFile>("OutFile"),
      Value<&C::FDescription, &C::SetDescription>("Description"),
      Value<&C::FURL, &C::SetURL>("URL"),
      Value<&C::FURLType, &C::SetURLType>("URLType"),
      Value<&C::FISEdit, &C::SetISEdit>("ISEdit"),
      Value<&C::FCaption, &C::SetCaption>("Caption"),
      Value<&C::FModifyTime, &C::SetModifyTime>("ModifyTime"),
      Value<&C::FCreateTime, &C::SetCreateTime>("CreateTime"),
      Value<&C::FFileSize, &C::SetFileSize>("FileSize"),
      Value<&C::FMD5O, &C::SetMD5O>("MD5O"),
      Value<&C::FCRTS, &C::SetCRTS>("CRTS"),
  };
  return kProperties;
}

PropertyList TAudio::Properties() const {
  using C = TAudio;
  static constexpr std::array kProperties{
      Value<&C::FID, &C::SetID>("ID"),
      Value<&C::FFileName, &C::SetFileName>("FileName"),
      Value<&C::FBeginTime, &C::SetBeginTime>("BeginTime"),
      Value<&C::FEndTime, &C::SetEndTime>("EndTime"),
      Value<&C::FLength, &C::SetLength>("Length"),
      Value<&C::FbFadeIn, &C::SetbFadeIn>("bFadeIn"),
      Value<&C::FFadeOut, &C::SetFadeOut>("FadeOut"),
  };
  return kProperties;
}

PropertyList TTemplate::Properties() const {
  using C = TTemplate;
  static constexpr std::array kProperties{
      Value<&C::FTemplateID, &C::SetTemplateID>("TemplateID"),
      Value<&C::FTemplateName, &C::SetTemplateName>("TemplateName"),
      Value<&C::FTemplateType, &C::SetTemplateType>("TemplateType"),
      Value<&C::FTemplateIndex, &C::SetTemplateIndex>("TemplateIndex"),
      Value<&C::FUseFrame, &C::SetUseFrame>("UseFrame"),
      Value<&C::FBgColor, &C::SetBgColor>("BgColor"),
      Value<&C::FBgImage, &C::SetBgImage>("BgImage"),
      Value<&C::FThumbImg, &C::SetThumbImg>("ThumbImg"),
      Value<&C::FMD5O, &C::SetMD5O>("MD5O"),
      Value<&C::FCRTS, &C::SetCRTS>("CRTS"),
      Value<&C::FSelectOffset, &C::SetSelectOffset>("SelectOffset"),
      Value<&C::FSelectSize, &C::SetSelectSize>("SelectSize"),
      Value<&C::FImgOffset, &C::SetImgOffset>("ImgOffset"),
      Value<&C::FImgSize, &C::SetImgSize>("ImgSize"),
      Value<&C::FDragType, &C::SetDragType>("DragType"),
      Value<&C::FUseLight, &C::SetUseLight>("UseLight"),
      Value<&C::FUseFill, &C::SetUseFill>("UseFill"),
      Value<&C::FAutoDelay, &C::SetAutoDelay>("AutoDelay"),
      Value<&C::FUseBgImage, &C::SetUseBgImage>("UseBgImage"),
      Value<&C::FAutoPlay, &C::SetAutoPlay>("AutoPlay"),
      Value<&C::FAutoLoop, &C::SetAutoLoop>("AutoLoop"),
      Value<&C::FFullPlay, &C::SetFullPlay>("FullPlay"),
      Value<&C::Fmousedrag, &C::Setmousedrag>("mousedrag"),
      Value<&C::Fautocursor, &C::Setautocursor>("autocursor"),
      Value<&C::Fautoscroll, &C::Setautoscroll>("autoscroll"),
      Value<&C::Fusespotlight, &C::Setusespotlight>("usespotlight"),
      Value<&C::FUseBgColor, &C::SetUseBgColor>("UseBgColor"),
      Value<&C::FShowModel, &C::SetShowModel>("ShowModel"),
  };
  return kProperties;
}

PropertyList TSeting::Properties() const {
  using C = TSeting;
  static constexpr std::array kProperties{
      Value<&C::FWidth, &C::SetWidth>("Width"),
      Value<&C::FHeight, &C::SetHeight>("Height"),
      Value<&C::FImgWidth, &C::SetImgWidth>("ImgWidth"),
      Value<&C::FImgHeight, &C::SetImgHeight>("ImgHeight"),
      Value<&C::FFrameRate, &C::SetFrameRate>("FrameRate"),
      Value<&C::FImgQuality, &C::SetImgQuality>("ImgQuality"),
      Value<&C::FEndURL, &C::SetEndURL>("EndURL"),
      Value<&C::FOutPut, &C::SetOutPut>("OutPut"),
      Value<&C::FMD5O, &C::SetMD5O>("MD5O"),
      Value<&C::FCRTS, &C::SetCRTS>("CRTS"),
      Value<&C::FUseMusic, &C::SetUseMusic>("UseMusic"),
      Value<&C::FOutType, &C::SetOutType>("OutType"),
      Value<&C::FMusicLoop, &C::SetMusicLoop>("MusicLoop"),
  };
  return kProperties;
}

TProjItem::TProjItem()
    : TBaseProj("Tavio"),
      FImages(std::make_unique<TImageObjList>(this)),
      FTemplate(std::make_unique<TTemplate>(this)),
      FAudios(std::make_unique<TAudioList>(this)),
      FSeting(std::make_unique<TSeting>(this)) {}

PropertyList TProjItem::Properties() const {
  using C = TProjItem;
  static constexpr std::array kProperties{
      Owned<&C::FImages>("Images"),
      Owned<&C::FTemplate>("Template"),
      Owned<&C::FAudios>("Audios"),
      Owned<&C::FSeting>("Seting"),
  };
  return kProperties;
}

void TProjItem::Assign(const TProjObj& source) {
  TBaseProj::Assign(source);
  const auto& project = static_cast<const TProjItem&>(source);
  ExportFile = project.ExportFile;
  ExportType = project.ExportType;
  MsgHandle = project.MsgHandle;
}

void ApplyNewProjectDefaults(TProjItem& project) {
  TSeting& seting = project.Seting();
  seting.SetWidth(960);
  seting.SetHeight(540);
  seting.SetImgQuality(85);
  seting.SetMusicLoop(true);
  seting.SetOutType(TOutType::st_169);
  TTemplate& t = project.Template();
  t.SetUseBgImage(false);
  t.SetUseFrame(false);
  t.SetUseLight(true);
  t.SetUseFill(false);
  t.SetAutoDelay(5);
  t.SetAutoLoop(false);
  t.SetAutoPlay(false);
  t.SetFullPlay(false);
  t.SetTemplateType("st_3d_Cool");
  t.SetTemplateIndex(0);
  t.SetDragType(TDragType::st_Drag);
}

}  // namespace galleria
