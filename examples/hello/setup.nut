// The start-up settings of the game: read once, before the window opens.
title = "Hello, Quillorane";
width = 640;
height = 480;
debug = true;
