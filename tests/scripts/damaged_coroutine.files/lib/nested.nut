include("throws.nut");
