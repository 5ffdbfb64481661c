// Compiled in a target that links one library, including a header of another: the build
// must refuse the headers of every library the target does not link.
#include PROBE_HEADER

int main() {
    return 0;
}
