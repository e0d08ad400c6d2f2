// UIImage: named images of the system's and the apps' resources. An app registers how each of
// its images is drawn; imageNamed: answers one shared image per name, or nil for a name nobody
// registered.
#include <map>
#include <mutex>
#include <string>

#include "platform/System/ForkSafety.h"
#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

struct ImageState {
  std::string name;
  CGSize size = CGSizeZero;
  ImageDrawing draw;
};

struct ImageCatalog {
  std::mutex mutex;
  std::map<std::string, std::pair<CGSize, ImageDrawing>> drawings;
  std::map<std::string, Ref<>> images;  // made on first use, kept for the process
};

ImageCatalog& catalog() {
  static auto* made = [] {
    auto* created = new ImageCatalog;  // asked until exit
    guardAcrossFork(created->mutex);
    return created;
  }();
  return *made;
}

Class imageClass();

id imageNamed(id, SEL, id name) {
  const std::string key = utf8(name);
  ImageCatalog& images = catalog();
  std::lock_guard lock(images.mutex);
  if (const auto made = images.images.find(key); made != images.images.end()) return made->second;
  const auto drawing = images.drawings.find(key);
  if (drawing == images.drawings.end()) return nil;
  Ref<> image = make(imageClass());
  ImageState& state = stateOf<ImageState>(image);
  state.name = key;
  state.size = drawing->second.first;
  state.draw = drawing->second.second;
  return images.images.emplace(key, image).first->second;
}

CGSize size(id self, SEL) {
  return stateOf<ImageState>(self).size;
}

void drawInRect(id self, SEL, CGRect rect) {
  const ImageState& state = stateOf<ImageState>(self);
  CGContextRef context = UIGraphicsGetCurrentContext();
  if (context == nullptr || !state.draw) return;
  CGContextSaveGState(context);
  state.draw(context, rect);
  CGContextRestoreGState(context);
}

void drawAtPoint(id self, SEL, CGPoint point) {
  const CGSize extent = stateOf<ImageState>(self).size;
  send(self, "drawInRect:"_sel, CGRectMake(point.x, point.y, extent.width, extent.height));
}

Class imageClass() {
  static const Class cls = ClassBuilder("UIImage", NSObjectClass())
                               .state<ImageState>()
                               .classMethod("imageNamed:", &imageNamed)
                               .method("size", &size)
                               .method("drawInRect:", &drawInRect)
                               .method("drawAtPoint:", &drawAtPoint)
                               .registerClass();
  return cls;
}

__attribute__((constructor(150))) void registerImageClass() {
  imageClass();
}

}  // namespace

void registerNamedImage(const std::string& name, CGSize size, ImageDrawing draw) {
  ImageCatalog& images = catalog();
  std::lock_guard lock(images.mutex);
  images.drawings[name] = {size, std::move(draw)};
}

std::string imageName(id image) {
  return isKindOf(image, imageClass()) ? stateOf<ImageState>(image).name : std::string();
}

}  // namespace qv::ui
