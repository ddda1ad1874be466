; The longest program an image holds: ffff bytes, 0000 to fffe.
 DB 1
 ORG fffe
 DB 2
