program Demo; {the {nested} comment}
var B{x}B, a : Integer;
BE{x}gin
E{}nd.
