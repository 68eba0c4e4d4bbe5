// The baseline that bench/apply-photo divides by: a plain read and write of an
// image with the stock stb decoder and encoder, natively, with no filter and no
// Wine. It does the same kind of work as the main job's image input and output,
// so the ratios say how far the job is from just opening and saving the picture.
// Usage: tintara_plain_copy IN.png OUT.png
#include <cstdio>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tintara_plain_copy IN.png OUT.png\n");
    return 2;
  }
  int width = 0, height = 0, planes = 0;
  unsigned char* pixels = stbi_load(argv[1], &width, &height, &planes, 0);
  if (pixels == nullptr) {
    std::fprintf(stderr, "tintara_plain_copy: cannot read %s: %s\n", argv[1],
                 stbi_failure_reason());
    return 1;
  }
  const int written = stbi_write_png(argv[2], width, height, planes, pixels, width * planes);
  stbi_image_free(pixels);
  if (written == 0) {
    std::fprintf(stderr, "tintara_plain_copy: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
