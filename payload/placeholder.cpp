namespace swiftsetup {}
