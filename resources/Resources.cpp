// The bundle's files are attached to this library by the build; it has no code of its own.
namespace grinsley::resources {
int bundleMarker = 0;
}
