#include "backend/sdl/present.h"

#include "backend/overlay.h"
#include "backend/scaler.h"

#include <cstring>

namespace platform::backend {

namespace {

struct RendererDeleter {
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
};
struct TextureDeleter {
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
using RendererPtr = std::unique_ptr<SDL_Renderer, RendererDeleter>;
using TexturePtr = std::unique_ptr<SDL_Texture, TextureDeleter>;

Picture pictureOf(const gdi::Surface& frame) {
    return Picture{frame.rgbRow(0), frame.width(), frame.height(), frame.stride()};
}

SDL_Rect sdlRect(const Rect& r) { return SDL_Rect{r.x, r.y, r.w, r.h}; }

// ---- Drawing at the flush ----

// Presenters that draw into pixels of their own and show them. Drawing
// waits for the flush: while a window opens, the window system resizes and
// exposes it several times before the first frame, and each would otherwise
// draw the whole window and wait for the X server.
class DeferredPresenter : public Presenter {
public:
    void present(const gdi::Surface& frame) override {
        frame_ = &frame;
        pending_ = true;
    }
    void refresh() override { pending_ = whole_ = true; }
    void flush() override {
        if (!pending_) return;
        draw(whole_);
        pending_ = whole_ = false;
    }

protected:
    // Draws the frame and shows it; `whole` asks for the bars as well as
    // the picture.
    virtual void draw(bool whole) = 0;

    const gdi::Surface* frame() const { return frame_; }
    Picture picture() const { return frame_ ? pictureOf(*frame_) : Picture{nullptr, 0, 0, 0}; }

    // Scales the frame into `all`, 0x00RRGGBB words, and draws the overlay;
    // the bars too when `whole`. Returns the picture's rectangle.
    Rect drawRgb(const Canvas& all, bool whole) {
        const Picture from = picture();
        const Rect inner = letterbox(from.width, from.height, all.width, all.height);
        if (whole) {
            scaler_.scaleLetterboxed(from, all);
        } else {
            auto* corner = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(all.pixels) +
                                                            static_cast<std::size_t>(inner.y) * all.stride) +
                           inner.x;
            scaler_.scale(from, Canvas{corner, inner.w, inner.h, all.stride});
        }
        drawOverlay(overlay_, all, inner);
        return inner;
    }

    Scaler scaler_;

private:
    const gdi::Surface* frame_ = nullptr;
    // A draw, and a whole one (bars too), left for the flush.
    bool pending_ = false, whole_ = false;
};

// ---- The window's own surface ----

class SurfacePresenter final : public DeferredPresenter {
public:
    explicit SurfacePresenter(SDL_Window* window) : window_(window) {}

    bool readBack(std::vector<std::uint32_t>& pixels, int& width, int& height) override {
        flush();
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        if (!s || s->w <= 0 || s->h <= 0) return false;
        width = s->w;
        height = s->h;
        pixels.assign(static_cast<std::size_t>(width) * height, 0);
        if (SDL_LockSurface(s) != 0) return false;
        const int status = SDL_ConvertPixels(width, height, s->format->format, s->pixels, s->pitch,
                                             SDL_PIXELFORMAT_RGB888, pixels.data(), width * 4);
        SDL_UnlockSurface(s);
        for (std::uint32_t& p : pixels) p &= 0x00FFFFFF;
        return status == 0;
    }

private:
    // Only the picture's rectangle changes from frame to frame; the bars are
    // drawn when the surface is new (a first frame, a resize) or `whole`
    // asks.
    void draw(bool whole) override {
        SDL_Surface* s = SDL_GetWindowSurface(window_);
        if (!s || s->w <= 0 || s->h <= 0) return;
        if (s != shown_ || s->w != shownW_ || s->h != shownH_) whole = true;
        if (SDL_LockSurface(s) != 0) return;
        auto* pixels = static_cast<std::uint8_t*>(s->pixels);
        const auto pitch = static_cast<std::size_t>(s->pitch);
        Rect inner{};
        if (s->format->format == SDL_PIXELFORMAT_RGB888) {
            // 0x00RRGGBB in 32-bit words, as the frame is: scaled in place.
            inner = drawRgb(Canvas{reinterpret_cast<std::uint32_t*>(pixels), s->w, s->h, pitch}, whole);
        } else {
            // Another pixel format (a 16-bit display, a window with alpha):
            // scaled beside it, then converted in.
            const Picture from = picture();
            inner = letterbox(from.width, from.height, s->w, s->h);
            if (whole) SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0, 0, 0));
            staging_.resize(static_cast<std::size_t>(inner.w) * inner.h);
            const std::size_t stagingPitch = static_cast<std::size_t>(inner.w) * 4;
            const Canvas staged{staging_.data(), inner.w, inner.h, stagingPitch};
            scaler_.scale(from, staged);
            drawOverlay(overlay_, staged, Rect{0, 0, inner.w, inner.h});
            SDL_ConvertPixels(inner.w, inner.h, SDL_PIXELFORMAT_RGB888, staging_.data(), static_cast<int>(stagingPitch),
                              s->format->format,
                              pixels + static_cast<std::size_t>(inner.y) * pitch +
                                  static_cast<std::size_t>(inner.x) * s->format->BytesPerPixel,
                              s->pitch);
        }
        SDL_UnlockSurface(s);
        if (whole) {
            SDL_UpdateWindowSurface(window_);
        } else {
            const SDL_Rect changed = sdlRect(inner);
            SDL_UpdateWindowSurfaceRects(window_, &changed, 1);
        }
        shown_ = s;
        shownW_ = s->w;
        shownH_ = s->h;
    }

    SDL_Window* window_;
    // The surface last drawn whole, and its size then.
    const SDL_Surface* shown_ = nullptr;
    int shownW_ = 0, shownH_ = 0;
    std::vector<std::uint32_t> staging_;
};

// ---- An X11 shared-memory image of the layer's own ----

// Binds the image to the window at the first draw, so that a window made
// while the image is still being prepared does not wait for it; where it
// cannot show in the window, the window's SDL surface takes over.
class ShmPresenter final : public DeferredPresenter {
public:
    ShmPresenter(SDL_Window* window, std::unique_ptr<x11::ShmImage> image)
        : window_(window), image_(std::move(image)) {}

    void present(const gdi::Surface& frame) override {
        if (!fallback_) return DeferredPresenter::present(frame);
        fallback_->setOverlay(overlay_);
        fallback_->present(frame);
    }
    void refresh() override {
        if (!fallback_) return DeferredPresenter::refresh();
        fallback_->setOverlay(overlay_);
        fallback_->refresh();
    }
    void flush() override {
        if (!fallback_) return DeferredPresenter::flush();
        fallback_->flush();
    }

    bool readBack(std::vector<std::uint32_t>& pixels, int& width, int& height) override {
        flush();
        if (fallback_) return fallback_->readBack(pixels, width, height);
        if (!image_) return false;
        bool resized = false;
        const Canvas c = image_->pixels(resized);
        if (!c.pixels || resized) return false;
        width = c.width;
        height = c.height;
        pixels.resize(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width,
                        reinterpret_cast<const std::uint8_t*>(c.pixels) + static_cast<std::size_t>(y) * c.stride,
                        static_cast<std::size_t>(width) * 4);
        for (std::uint32_t& p : pixels) p &= 0x00FFFFFF;
        return true;
    }

private:
    void draw(bool whole) override {
        if (!attached_ && !image_->attach(window_)) return fallBack();
        attached_ = true;
        bool resized = false;
        const Canvas all = image_->pixels(resized);
        if (!all.pixels) return fallBack();  // no image at the window's size
        // A new image holds no picture yet, bars included.
        whole = whole || resized || !drawn_;
        const Rect inner = drawRgb(all, whole);
        drawn_ = image_->show(whole ? Rect{0, 0, all.width, all.height} : inner);
    }

    // From now on the window's SDL surface shows the frames.
    void fallBack() {
        image_.reset();
        fallback_ = makeSurfacePresenter(window_);
        if (frame()) {
            present(*frame());
        } else {
            refresh();
        }
        flush();
    }

    SDL_Window* window_;
    std::unique_ptr<x11::ShmImage> image_;
    bool attached_ = false;
    // Whether the window got the last picture; after a failure (a window
    // gone for a moment) the next one is drawn whole.
    bool drawn_ = false;
    std::unique_ptr<Presenter> fallback_;
};

// ---- A renderer's texture ----

// Whether a renderer draws with the CPU: SDL's software renderer, or GL on
// one of Mesa's software rasterisers.
bool drawsInSoftware(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || (info.flags & SDL_RENDERER_SOFTWARE)) return true;
    if (!info.name || std::strncmp(info.name, "opengl", 6) != 0) return false;
    // The renderer's GL context is current once it is made.
    using GetString = const unsigned char* (*)(unsigned);
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    constexpr unsigned kGlRenderer = 0x1F01;
    const auto* name = getString ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
    if (!name) return true;
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (std::strstr(name, software)) return true;
    return false;
}

class TexturePresenter final : public Presenter {
public:
    explicit TexturePresenter(RendererPtr renderer) : renderer_(std::move(renderer)) {}

    void present(const gdi::Surface& frame) override {
        frame_ = &frame;
        draw();
        SDL_RenderPresent(renderer_.get());
    }
    void refresh() override {
        draw();
        SDL_RenderPresent(renderer_.get());
    }

    bool readBack(std::vector<std::uint32_t>& pixels, int& width, int& height) override {
        draw();
        if (SDL_GetRendererOutputSize(renderer_.get(), &width, &height) != 0 || width <= 0 || height <= 0) return false;
        pixels.assign(static_cast<std::size_t>(width) * height, 0);
        if (SDL_RenderReadPixels(renderer_.get(), nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4) != 0)
            return false;
        for (std::uint32_t& p : pixels) p &= 0x00FFFFFF;
        return true;
    }

private:
    // A texture of the given size and scale mode, made again when either
    // changes. ARGB8888 is the packed 0xAARRGGBB word, the frame's
    // 0x00RRGGBB; without blending the zero alpha byte is ignored.
    SDL_Texture* texture(TexturePtr& slot, int access, int width, int height, SDL_ScaleMode mode) {
        int w = 0, h = 0;
        if (!slot || SDL_QueryTexture(slot.get(), nullptr, nullptr, &w, &h) != 0 || w != width || h != height) {
            slot.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_ARGB8888, access, width, height));
            if (!slot) return nullptr;
            SDL_SetTextureBlendMode(slot.get(), SDL_BLENDMODE_NONE);
            SDL_SetTextureScaleMode(slot.get(), mode);
        }
        return slot.get();
    }

    void draw() {
        drawPicture();
        drawOverlayText();
    }

    // The overlay's text, drawn by the layer into a small texture of its own.
    void drawOverlayText() {
        if (overlay_.empty() || !frame_) return;
        int ow = 0, oh = 0;
        SDL_GetRendererOutputSize(renderer_.get(), &ow, &oh);
        const Rect inner = letterbox(frame_->width(), frame_->height(), ow, oh);
        const Rect box = overlayRect(overlay_, inner);
        if (box.w <= 0 || box.h <= 0) return;
        overlayPixels_.assign(static_cast<std::size_t>(box.w) * box.h, 0);
        drawOverlay(overlay_, Canvas{overlayPixels_.data(), box.w, box.h, std::size_t(box.w) * 4},
                    Rect{inner.x - box.x, inner.y - box.y, inner.w, inner.h});
        SDL_Texture* text = texture(overlayTexture_, SDL_TEXTUREACCESS_STREAMING, box.w, box.h, SDL_ScaleModeNearest);
        if (!text) return;
        SDL_UpdateTexture(text, nullptr, overlayPixels_.data(), box.w * 4);
        const SDL_Rect target = sdlRect(box);
        SDL_RenderCopy(renderer_.get(), text, nullptr, &target);
    }

    void drawPicture() {
        SDL_Renderer* r = renderer_.get();
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
        SDL_RenderClear(r);
        if (!frame_) return;
        const int fw = frame_->width(), fh = frame_->height();
        int ow = 0, oh = 0;
        SDL_GetRendererOutputSize(r, &ow, &oh);
        const Rect inner = letterbox(fw, fh, ow, oh);
        const SDL_Rect target = sdlRect(inner);
        const int kx = integerFactor(fw, inner.w), ky = integerFactor(fh, inner.h);
        const bool enlarges = inner.w >= fw && inner.h >= fh;
        const bool exact = enlarges && kx * fw == inner.w && ky * fh == inner.h;

        if (exact || (enlarges && SDL_RenderTargetSupported(r))) {
            SDL_Texture* picture = texture(picture_, SDL_TEXTUREACCESS_STREAMING, fw, fh, SDL_ScaleModeNearest);
            if (!picture) return;
            SDL_UpdateTexture(picture, nullptr, frame_->row(0), static_cast<int>(frame_->stride()));
            if (exact) {
                SDL_RenderCopy(r, picture, nullptr, &target);
                return;
            }
            // Sharp-bilinear on the GPU: nearest to the largest integer
            // multiple that fits, then linear to the final size.
            SDL_Texture* sharp = texture(sharp_, SDL_TEXTUREACCESS_TARGET, kx * fw, ky * fh, SDL_ScaleModeLinear);
            if (!sharp || SDL_SetRenderTarget(r, sharp) != 0) return;
            SDL_RenderCopy(r, picture, nullptr, nullptr);
            SDL_SetRenderTarget(r, nullptr);
            SDL_RenderCopy(r, sharp, nullptr, &target);
            return;
        }
        // Reductions average more source pixels than a GPU's linear filter
        // reads: scaled by the layer, shown one to one.
        staging_.resize(static_cast<std::size_t>(inner.w) * inner.h);
        scaler_.scale(pictureOf(*frame_), Canvas{staging_.data(), inner.w, inner.h, std::size_t(inner.w) * 4});
        SDL_Texture* small = texture(small_, SDL_TEXTUREACCESS_STREAMING, inner.w, inner.h, SDL_ScaleModeNearest);
        if (!small) return;
        SDL_UpdateTexture(small, nullptr, staging_.data(), inner.w * 4);
        SDL_RenderCopy(r, small, nullptr, &target);
    }

    // Declared before the textures, so the textures go first and the
    // renderer after them.
    RendererPtr renderer_;
    TexturePtr picture_, sharp_, small_, overlayTexture_;
    std::vector<std::uint32_t> overlayPixels_;
    const gdi::Surface* frame_ = nullptr;
    Scaler scaler_;
    std::vector<std::uint32_t> staging_;
};

}  // namespace

std::unique_ptr<Presenter> makeSurfacePresenter(SDL_Window* window) {
    return std::make_unique<SurfacePresenter>(window);
}

std::unique_ptr<Presenter> makeShmPresenter(SDL_Window* window, std::unique_ptr<x11::ShmImage> image) {
    if (!image) return makeSurfacePresenter(window);
    return std::make_unique<ShmPresenter>(window, std::move(image));
}

std::unique_ptr<Presenter> makeTexturePresenter(SDL_Window* window, bool anyRenderer) {
    RendererPtr renderer(SDL_CreateRenderer(window, -1, anyRenderer ? 0 : SDL_RENDERER_ACCELERATED));
    if (!renderer || (!anyRenderer && drawsInSoftware(renderer.get()))) return nullptr;
    return std::make_unique<TexturePresenter>(std::move(renderer));
}

}  // namespace platform::backend
